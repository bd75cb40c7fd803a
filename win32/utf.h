#pragma once
// The core speaks UTF-8, Windows' "W" calls UTF-16: every text crosses here.

#include <string>
#include <string_view>

namespace zelto {

// Invalid UTF-8 becomes U+FFFD, so a text always shows.
std::wstring Widen(std::string_view utf8);
// Unpaired surrogates become U+FFFD.
std::string Narrow(std::wstring_view utf16);

}  // namespace zelto
