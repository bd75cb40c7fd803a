#pragma once
// Text rules shared by the NUT protocol files: ASCII-only case folding, the characters a name may
// hold, and values made safe for every client's parser.

#include <cstddef>
#include <string>
#include <string_view>

namespace zelto {

// Values longer than this are cut: upsd stores at most 256 bytes per value.
inline constexpr std::size_t kNutMaxValueLength = 256;
// Names echoed back in replies (UPS, variable, command) stay this short, so that every reply line
// keeps under the 512 bytes clients read per line.
inline constexpr std::size_t kNutMaxNameLength = 64;

// Command words, UPS names and variable names compare case-insensitively, ASCII only, as upsd's
// strcasecmp does; no locale is involved.
bool NutEqualNoCase(std::string_view a, std::string_view b);
bool NutLessNoCase(std::string_view a, std::string_view b);

// A name clients can be sent back unquoted: 1 to kNutMaxNameLength characters out of letters,
// digits, '.', '-' and '_'.
bool IsNutName(std::string_view name);

// Printable ASCII without '"', '\' and '#', cut to kNutMaxValueLength. Several clients take the
// text between the quotes as is, and one decodes it as ASCII, so a value never needs escaping.
std::string NutSafeValue(std::string_view text);

// The value in double quotes with '\', '"' and '#' escaped, as upsd sends it.
std::string NutQuoted(std::string_view value);

}  // namespace zelto
