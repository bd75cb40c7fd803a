#pragma once
// The windows' panels: a child window that fills itself with a brush and draws a one-pixel
// bevel (lowered outer, and raised inner unless it is a plain frame). Whatever its controls tell
// their parent (commands, colours, owner drawing, notifications) goes on to the top-level
// window, so each window handles its controls in one place.

#include "win32/windows_api.h"

namespace zelto {

enum class BevelStyle { RaisedInLowered, Lowered };

// A child of `parent` at the rectangle; the brush stays the caller's and must outlive the panel.
HWND CreateBevelPanel(HWND parent, const RECT& at, BevelStyle style, HBRUSH background, int id);

}  // namespace zelto
