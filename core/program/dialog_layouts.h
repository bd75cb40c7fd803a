#pragma once
// The countdown dialog (TForm2) and the About box (TAboutBox) in one table each, as the main
// window is in main_window_layout.h: both front ends build them from here, with the same texts
// and positions.

#include <string>
#include <string_view>
#include <vector>

#include "core/program/main_window_layout.h"

namespace zelto {

inline constexpr int kCountdownWidth = 295;  // the client area
inline constexpr int kCountdownHeight = 118;
// Label1, Label2, Button1 ("Отмена", first in the tab order), Button2, in creation order.
const std::vector<ControlRow>& CountdownLayout(Language language);

inline constexpr int kAboutWidth = 298;
inline constexpr int kAboutHeight = 222;
// Panel1 and what it holds, then OKButton, in creation order.
const std::vector<ControlRow>& AboutLayout();
// The eight lines of Memo1: release and credit, contact, an empty line, the five-line note, which
// tells the memory the program takes: `megabytes`, as the front end measured it ("2,5").
// The note's lines; `megabytes` as the language writes a number.
std::vector<std::string> AboutNoteLines(Language language, std::string_view megabytes);

// The row of the table named `name`; the first row when there is none.
const ControlRow& LayoutRow(const std::vector<ControlRow>& layout, std::string_view name);

}  // namespace zelto
