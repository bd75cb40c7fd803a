#include "core/base/texts.h"

namespace zelto {

Language LanguageFromSetting(std::string_view value) {
    // Written by hand as often as by the setup: spaces and capitals are forgiven.
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) {
        value.remove_prefix(1);
    }
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) {
        value.remove_suffix(1);
    }
    const bool english = value.size() == 2 && (value[0] == 'e' || value[0] == 'E') &&
                         (value[1] == 'n' || value[1] == 'N');
    return english ? Language::English : Language::Russian;
}

const TextTable& TextsOf(Language language) {
    return language == Language::English ? EnglishTexts() : RussianTexts();
}

std::string_view Text(Language language, TextId id) {
    const auto index = static_cast<std::size_t>(id);
    const TextTable& table = TextsOf(language);
    // The tables are in the order of the ids; a test holds them to it.
    if (index < table.size() && table[index].id == id) {
        return table[index].text;
    }
    return {};
}

std::string Text(Language language, TextId id, std::initializer_list<std::string_view> values) {
    const std::string_view pattern = Text(language, id);
    std::string text;
    for (std::size_t at = 0; at < pattern.size(); ++at) {
        const bool mark = pattern[at] == '{' && at + 2 < pattern.size() && pattern[at + 2] == '}' &&
                          pattern[at + 1] >= '1' && pattern[at + 1] <= '9';
        const auto which = mark ? static_cast<std::size_t>(pattern[at + 1] - '1') : values.size();
        if (mark && which < values.size()) {
            text += *(values.begin() + which);
            at += 2;
        } else {
            text += pattern[at];
        }
    }
    return text;
}

}  // namespace zelto
