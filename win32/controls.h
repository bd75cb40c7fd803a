#pragma once
// Creating the standard controls the windows are made of, at design positions scaled to the
// screen, with the window font.

#include "win32/windows_api.h"

#include <string_view>

#include "core/program/main_window_layout.h"

namespace zelto {

class UiStyle;

// A position in the window design's pixels, as the layout tables give it.
using DesignRect = Rect;

// A child control of the window class `className` (a system class such as L"STATIC"); the text
// is UTF-8, with "\n" between lines.
HWND CreateControl(HWND parent, const wchar_t* className, std::string_view text, DWORD style,
                   const DesignRect& at, int id, const UiStyle& ui, bool bold = false);

// The control's text in UTF-8.
void SetControlText(HWND control, std::string_view text);

}  // namespace zelto
