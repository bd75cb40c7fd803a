#include "core/base/errors.h"

#include <string>

namespace zelto {

Error NotValidInteger(std::string_view text) {
    return Error("'" + std::string(text) + "' is not a valid integer value");
}

Error RangeCheckError() {
    return Error("Range check error");
}

Error IntegerOverflow() {
    return Error("Integer overflow");
}

Error UnableToWrite(std::string_view path) {
    return Error("Unable to write to " + std::string(path));
}

Error TooLargeToRewrite(std::string_view path, std::uint64_t bytes) {
    return Error(std::string(path) + " is too large (" + std::to_string(bytes) +
                 " bytes) to be rewritten safely");
}

std::string MessageBoxText(std::string_view text) {
    std::string box(text);
    if (!box.empty() && static_cast<unsigned char>(box.back()) > '.') {
        box += '.';
    }
    return box;
}

}  // namespace zelto
