#include "core/base/ini_text.h"

#include <cstddef>
#include <vector>

namespace zelto {
namespace {

constexpr std::string_view kBlanks = " \t";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string_view Trim(std::string_view s) {
    const auto first = s.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = s.find_last_not_of(kBlanks);
    return s.substr(first, last - first + 1);
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

// One line of the file: where it starts, its content without the line end, and where the next
// line starts.
struct Line {
    std::size_t begin;
    std::string_view content;
    std::size_t next;
};

std::vector<Line> SplitLines(std::string_view text) {
    std::vector<Line> lines;
    std::size_t pos = 0;
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
        pos = kByteOrderMark.size();
    }
    while (pos < text.size()) {
        auto end = text.find('\n', pos);
        const std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view content = text.substr(pos, end - pos);
        if (!content.empty() && content.back() == '\r') {
            content.remove_suffix(1);
        }
        lines.push_back({pos, content, next});
        pos = next;
    }
    return lines;
}

// The section name of a "[name]" line, or nothing for any other line.
std::optional<std::string_view> SectionName(std::string_view line) {
    const auto trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() != '[') {
        return std::nullopt;
    }
    auto name = trimmed.substr(1);
    const auto close = name.find(']');
    if (close != std::string_view::npos) {
        name = name.substr(0, close);
    }
    return Trim(name);
}

// The key of a "key=value" line, or nothing for a line without "=".
std::optional<std::string_view> KeyName(std::string_view line) {
    const auto eq = line.find('=');
    if (eq == std::string_view::npos) {
        return std::nullopt;
    }
    return Trim(line.substr(0, eq));
}

std::string_view UnquotedValue(std::string_view line) {
    auto value = Trim(line.substr(line.find('=') + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return value;
}

// Where the first section with the name starts and ends, as indexes into the lines: the section
// line itself and one past its last line. Nothing when there is no such section.
struct SectionSpan {
    std::size_t header;
    std::size_t end;
};

std::optional<SectionSpan> FindSection(const std::vector<Line>& lines, std::string_view section) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto name = SectionName(lines[i].content);
        if (!name || !SameName(*name, section)) {
            continue;
        }
        std::size_t end = i + 1;
        while (end < lines.size() && !SectionName(lines[end].content)) {
            ++end;
        }
        return SectionSpan{i, end};
    }
    return std::nullopt;
}

std::optional<std::size_t> FindKey(const std::vector<Line>& lines, const SectionSpan& span,
                                   std::string_view key) {
    for (std::size_t i = span.header + 1; i < span.end; ++i) {
        const auto name = KeyName(lines[i].content);
        if (name && SameName(*name, key)) {
            return i;
        }
    }
    return std::nullopt;
}

// The text's own line end, taken from its first line; a text with no line end yet gets the
// system's.
std::string_view LineEnding(std::string_view text, std::string_view systemLineEnd) {
    const auto lf = text.find('\n');
    if (lf != std::string_view::npos) {
        return (lf > 0 && text[lf - 1] == '\r') ? "\r\n" : "\n";
    }
    return systemLineEnd;
}

// The line end that finishes a text's unfinished last line. A last line cut short after its CR
// only lacks the LF: a whole line end there would leave the CR in the line, and in its value.
std::string_view LineEndAfter(std::string_view text, std::string_view eol) {
    return !text.empty() && text.back() == '\r' ? "\n" : eol;
}

}  // namespace

std::optional<std::string> IniFind(std::string_view text, std::string_view section,
                                   std::string_view key) {
    const auto lines = SplitLines(text);
    const auto span = FindSection(lines, section);
    if (!span) {
        return std::nullopt;
    }
    const auto at = FindKey(lines, *span, key);
    if (!at) {
        return std::nullopt;
    }
    return std::string(UnquotedValue(lines[*at].content));
}

std::string IniSet(std::string_view text, std::string_view section, std::string_view key,
                   std::string_view value, std::string_view systemLineEnd) {
    const auto lines = SplitLines(text);
    const auto eol = LineEnding(text, systemLineEnd);
    const auto span = FindSection(lines, section);
    std::string result;

    if (!span) {
        result = std::string(text);
        if (!result.empty() && result.back() != '\n') {
            result += LineEndAfter(result, eol);
        }
        result.append("[").append(section).append("]").append(eol);
        result.append(key).append("=").append(value).append(eol);
        return result;
    }

    if (const auto at = FindKey(lines, *span, key)) {
        // The key keeps its own spelling; only what follows it changes.
        const Line& line = lines[*at];
        const auto keyName = *KeyName(line.content);
        const std::size_t lineEnd = line.begin + line.content.size();
        result.append(text.substr(0, line.begin));
        result.append(keyName).append("=").append(value);
        result.append(text.substr(lineEnd));
        return result;
    }

    // A new key goes after the section's last non-blank line, before any blank lines that
    // separate it from the next section.
    std::size_t last = span->header;
    for (std::size_t i = span->header + 1; i < span->end; ++i) {
        if (!Trim(lines[i].content).empty()) {
            last = i;
        }
    }
    const std::size_t insertAt = lines[last].next;
    result.append(text.substr(0, insertAt));
    if (result.empty() || result.back() != '\n') {
        result += LineEndAfter(result, eol);
    }
    result.append(key).append("=").append(value).append(eol);
    result.append(text.substr(insertAt));
    return result;
}

}  // namespace zelto
