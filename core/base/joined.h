#pragma once
// Texts one after another with a separator between them: the lines the journal window shows,
// the items of a report.

#include <string>
#include <string_view>

namespace zelto {

// `items` (any sequence of strings), each but the first preceded by `separator`.
template <typename Items>
std::string Joined(const Items& items, std::string_view separator) {
    std::string text;
    bool first = true;
    for (const auto& item : items) {
        if (!first) {
            text += separator;
        }
        text += item;
        first = false;
    }
    return text;
}

}  // namespace zelto
