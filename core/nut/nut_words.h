#pragma once
// One request line split into words by NUT's configuration-file rules, the ones upsd applies to
// every request.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zelto {

// Longer words are cut, further words dropped, silently, as upsd does: together they bound what
// one request can make the server hold.
inline constexpr std::size_t kNutMaxWordLength = 512;
inline constexpr std::size_t kNutMaxWords = 32;

struct NutWords {
    std::vector<std::string> words;
    // The line broke the quoting rules: a quote left open, or an unescaped '#' inside quotes.
    bool malformed = false;
};

// Words are separated by spaces, tabs and CRs. "..." makes one word that may hold spaces (and may
// be empty); a backslash takes the next character literally, inside quotes or out; outside
// quotes '#' starts a comment. Bytes outside printable ASCII are dropped before anything else.
NutWords SplitNutWords(std::string_view line);

}  // namespace zelto
