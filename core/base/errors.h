#pragma once
// The program's one error type. Whatever ends an event handler or a timer tick early is thrown as
// an Error whose text is exactly what the user reads in the message box.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace zelto {

class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

Error NotValidInteger(std::string_view text);  // "'%s' is not a valid integer value"
Error RangeCheckError();                       // "Range check error"
Error IntegerOverflow();                       // "Integer overflow"
Error UnableToWrite(std::string_view path);    // "Unable to write to %s"
// "%s is too large (%llu bytes) to be rewritten safely"
Error TooLargeToRewrite(std::string_view path, std::uint64_t bytes);

// The message box text for an error: a full stop is added when the last character sorts after
// "." (letters and digits get one, a closing parenthesis does not).
std::string MessageBoxText(std::string_view text);

}  // namespace zelto
