#include "core/nut/nut_line_buffer.h"

#include <utility>

namespace zelto {
namespace {

bool IsKept(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte >= 0x20 && byte <= 0x7E) || c == '\t' || c == '\r';
}

}  // namespace

std::vector<NutLine> NutLineBuffer::Feed(std::string_view bytes) {
    std::vector<NutLine> lines;
    for (const char c : bytes) {
        if (c == '\n') {
            lines.push_back(NutLine{std::move(partial_), discarding_});
            partial_.clear();
            discarding_ = false;
        } else if (!IsKept(c) || discarding_) {
            continue;
        } else if (partial_.size() == kNutMaxLineLength) {
            partial_.clear();
            partial_.shrink_to_fit();
            discarding_ = true;
        } else {
            partial_ += c;
        }
    }
    return lines;
}

}  // namespace zelto
