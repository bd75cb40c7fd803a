#pragma once
// A connection's received bytes cut into request lines, holding at most one line's worth.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zelto {

// NUT clients read and write lines in 512-byte buffers, so no honest request is longer.
inline constexpr std::size_t kNutMaxLineLength = 512;

struct NutLine {
    std::string text;  // without its LF; CRs and other bytes are left to the word splitter
    // The line ran past kNutMaxLineLength: its bytes were discarded and it gets an error reply.
    bool tooLong = false;
};

class NutLineBuffer {
public:
    // Every line the bytes complete, in order. Bytes outside printable ASCII (other than tab, CR
    // and LF) are dropped on arrival and never count; an over-long line is skipped up to its LF
    // and comes out once, as tooLong.
    std::vector<NutLine> Feed(std::string_view bytes);

    // Bytes of the unfinished line held now, never more than kNutMaxLineLength.
    std::size_t Pending() const { return partial_.size(); }

private:
    // Part of a line, without its LF: its kept bytes go on the line held, or the line is
    // discarded once they make it too long.
    void Take(std::string_view piece);

    std::string partial_;
    bool discarding_ = false;
};

}  // namespace zelto
