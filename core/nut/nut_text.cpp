#include "core/nut/nut_text.h"

#include <algorithm>

namespace zelto {
namespace {

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '-' || c == '_';
}

}  // namespace

bool NutEqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return Lower(x) == Lower(y); });
}

bool NutLessNoCase(std::string_view a, std::string_view b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(Lower(x)) < static_cast<unsigned char>(Lower(y));
    });
}

bool IsNutName(std::string_view name) {
    return !name.empty() && name.size() <= kNutMaxNameLength &&
           std::all_of(name.begin(), name.end(), IsNameChar);
}

std::string NutSafeValue(std::string_view text) {
    std::string value;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte > 0x7E || c == '"' || c == '\\' || c == '#') {
            continue;
        }
        if (value.size() == kNutMaxValueLength) {
            break;
        }
        value += c;
    }
    return value;
}

std::string NutQuoted(std::string_view value) {
    std::string quoted = "\"";
    for (const char c : value) {
        if (c == '\\' || c == '"' || c == '#') {
            quoted += '\\';
        }
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

}  // namespace zelto
