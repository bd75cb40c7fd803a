#include "core/program/dialog_layouts.h"

#include "core/base/product.h"

namespace zelto {

const std::vector<ControlRow>& CountdownLayout() {
    using K = ControlKind;
    static const std::vector<ControlRow> kLayout = {
        {"Label1", K::Text, nullptr, {56, 24, 167, 13}, "Система будет выключена через"},
        {"Label2", K::Text, nullptr, {131, 48, 18, 13}, "000"},
        {"Button1", K::Button, nullptr, {200, 80, 75, 25}, "Отмена"},
        {"Button2", K::Button, nullptr, {16, 80, 121, 25}, "Выключить сейчас"},
    };
    return kLayout;
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

std::vector<std::string> AboutNoteLines(std::string_view megabytes) {
    return {
        "Версия 1.0, выпуск 2026 г. Авторы: разработчики UPS Zelto.",
        "Связь: страница проекта UPS Zelto, раздел замечаний.",
        "",
        "Эта программа появилась потому, что родной",
        "драйвер производителя UPS постоянно держит",
        "в памяти около 30 МБ, а ей самой хватает",
        "примерно " + std::string(megabytes) + " МБ. Если заметите ошибку,",
        "пожалуйста, сообщите о ней разработчикам.",
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
