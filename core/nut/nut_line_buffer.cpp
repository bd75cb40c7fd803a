#include "core/nut/nut_line_buffer.h"

#include <algorithm>
#include <utility>

namespace zelto {
namespace {

bool IsKept(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte >= 0x20 && byte <= 0x7E) || c == '\t' || c == '\r';
}

}  // namespace

std::vector<NutLine> NutLineBuffer::Feed(std::string_view bytes) {
    // Whole runs of kept bytes are taken at once: a poll's answers arrive as one read of a few
    // hundred bytes every second, and most of them are kept.
    std::vector<NutLine> lines;
    lines.reserve(static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n')));
    while (!bytes.empty()) {
        const std::size_t end = std::min(bytes.find('\n'), bytes.size());
        Take(bytes.substr(0, end));
        if (end == bytes.size()) {
            break;
        }
        lines.push_back(NutLine{std::move(partial_), discarding_});
        partial_.clear();
        discarding_ = false;
        bytes.remove_prefix(end + 1);
    }
    return lines;
}

void NutLineBuffer::Take(std::string_view piece) {
    while (!piece.empty() && !discarding_) {
        const auto dropped = std::find_if_not(piece.begin(), piece.end(), IsKept);
        const auto kept = static_cast<std::size_t>(dropped - piece.begin());
        if (partial_.size() + kept > kNutMaxLineLength) {
            partial_.clear();
            partial_.shrink_to_fit();
            discarding_ = true;
            return;
        }
        partial_.append(piece.substr(0, kept));
        piece.remove_prefix(std::min(kept + 1, piece.size()));
    }
}

}  // namespace zelto
