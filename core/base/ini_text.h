#pragma once
// INI text as the Windows profile functions read and write it, as pure functions over the whole
// file's text. Section and key names match without regard to case; the first of duplicate
// sections or keys wins; CRLF and LF lines both read.

#include <optional>
#include <string>
#include <string_view>

namespace zelto {

// The value of the key in the section, blanks and one pair of enclosing quotes removed; nothing
// when the section or key is missing.
std::optional<std::string> IniFind(std::string_view text, std::string_view section,
                                   std::string_view key);

// The text with the key set to the value: its own line changed, or a line added at the end of
// its section, or the section added at the end. Every other byte stays as it was. New lines end
// as the text's first line does; in a text without a line end yet (a new file) they end with
// systemLineEnd, the system's own ("\n", or "\r\n" on Windows).
std::string IniSet(std::string_view text, std::string_view section, std::string_view key,
                   std::string_view value, std::string_view systemLineEnd);

}  // namespace zelto
