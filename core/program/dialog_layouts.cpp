#include "core/program/dialog_layouts.h"

#include "core/base/product.h"

namespace zelto {

namespace {

std::vector<ControlRow> CountdownLayoutIn(Language language) {
    using K = ControlKind;
    const auto T = [language](TextId id) { return Text(language, id).data(); };
    return {
        {"Label1", K::Text, nullptr, {56, 24, 167, 13}, T(TextId::CountdownShutsDownIn)},
        {"Label2", K::Text, nullptr, {131, 48, 18, 13}, "000"},
        {"Button1", K::Button, nullptr, {200, 80, 75, 25}, T(TextId::Cancel)},
        {"Button2", K::Button, nullptr, {16, 80, 121, 25}, T(TextId::ShutDownNow)},
    };
}

}  // namespace

const std::vector<ControlRow>& CountdownLayout(Language language) {
    return LayoutIn(language, [](Language in) { return CountdownLayoutIn(in); });
}

const std::vector<ControlRow>& AboutLayout() {
    using K = ControlKind;
    static const std::vector<ControlRow> kLayout = {
        {"Panel1", K::Panel, nullptr, {8, 8, 281, 169}, ""},
        {"ProgramIcon", K::Picture, "Panel1", {24, 16, 33, 33}, ""},
        {"ProductName", K::Text, "Panel1", {88, 16, 185, 13}, kProductName},
        // Present but empty, as in the window's design.
        {"Comments", K::Text, "Panel1", {88, 32, 185, 13}, ""},
        {"Label23", K::Text, "Panel1", {88, 48, 185, 13}, ""},
        {"Label24", K::Text, "Panel1", {8, 56, 77, 13}, ""},
        {"Memo1", K::Memo, "Panel1", {8, 72, 265, 89}, ""},
        {"OKButton", K::Button, nullptr, {111, 188, 75, 25}, "OK"},
    };
    return kLayout;
}

std::vector<std::string> AboutNoteLines(Language language, std::string_view megabytes) {
    const auto line = [language](TextId id) { return std::string(Text(language, id)); };
    return {
        line(TextId::AboutNote1),
        line(TextId::AboutNote2),
        "",
        line(TextId::AboutNote3),
        line(TextId::AboutNote4),
        line(TextId::AboutNote5),
        Text(language, TextId::AboutNote6, {megabytes}),
        line(TextId::AboutNote7),
    };
}

const ControlRow& LayoutRow(const std::vector<ControlRow>& layout, std::string_view name) {
    for (const ControlRow& row : layout) {
        if (name == row.name) {
            return row;
        }
    }
    return layout.front();
}

}  // namespace zelto
