#pragma once
// What every fuzz target here shares: a failed check ends the run with its reason (libFuzzer
// keeps the input), the input read as a sequence of bytes and pieces, and a text's lines.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace zelto::fuzz {

[[noreturn]] inline void Fail(const char* what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

inline void Check(bool holds, const char* what) {
    if (!holds) {
        Fail(what);
    }
}

// The text's lines as a reader sees them: split at LF, one CR before the LF (or at the very end)
// not part of the line. A text ending in LF has no empty line after it.
inline std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const auto lf = text.find('\n');
        std::string_view line = text.substr(0, lf);
        text.remove_prefix(lf == std::string_view::npos ? text.size() : lf + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        lines.push_back(line);
    }
    return lines;
}

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool Empty() const { return at_ == size_; }
    std::uint8_t Byte() { return Empty() ? 0 : data_[at_++]; }
    std::string Take(std::size_t count) {
        const std::size_t n = std::min(count, size_ - at_);
        std::string bytes(reinterpret_cast<const char*>(data_ + at_), n);
        at_ += n;
        return bytes;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

}  // namespace zelto::fuzz
