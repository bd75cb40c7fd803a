#pragma once
// The tray icon's menu, top to bottom, as both front ends build it: each entry's name (the
// designer's, kept as the object's name and the command's), its text, its 16 px picture and
// whether it is the default entry, drawn bold and taken by a double click.

#include <array>
#include <optional>
#include <string_view>

#include "core/base/texts.h"
#include "core/monitor/pictures.h"

namespace zelto {

// 16 px list only: the menu's pictures.
inline constexpr int kPictureClose = 10;     // a black cross
inline constexpr int kPictureShowHide = 11;  // a green arrow

enum class TrayCommand { ShowHide, Journal, Separator, Exit };

struct TrayMenuEntry {
    std::string_view name;
    TrayCommand command;
    std::optional<TextId> text;  // none for the separator
    int picture;                 // kPictureProgram for none
    bool isDefault;
};

inline constexpr std::array<TrayMenuEntry, 4> kTrayMenu = {{
    {"N3", TrayCommand::ShowHide, TextId::MenuShowHide, kPictureShowHide, true},
    {"N4", TrayCommand::Journal, TextId::MenuJournal, kPictureProgram, false},
    {"N2", TrayCommand::Separator, std::nullopt, kPictureProgram, false},
    {"N1", TrayCommand::Exit, TextId::MenuExit, kPictureClose, false},
}};

}  // namespace zelto
