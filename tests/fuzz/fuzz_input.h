#pragma once
// What every fuzz target here shares: a failed check ends the run with its reason (libFuzzer
// keeps the input), and the input read as a sequence of bytes and pieces.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

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
