#pragma once
// The look every window of the program shares: the 8-point window font and its bold twin,
// design pixels scaled to the screen's DPI, and placing a window at the centre of the screen.

#include "win32/windows_api.h"

#include "win32/unique_handle.h"

namespace zelto {

class UiStyle {
public:
    UiStyle();

    HFONT Font() const { return font_.get(); }
    HFONT BoldFont() const { return boldFont_.get(); }
    // A length of the window designs (made for 96 DPI) on this screen.
    int Scale(int pixels) const { return MulDiv(pixels, dpi_, 96); }

private:
    int dpi_ = 96;
    FontHandle font_;
    FontHandle boldFont_;
};

// The window size whose client area is width x height for the given styles.
SIZE FrameSizeFor(int width, int height, DWORD style, DWORD exStyle);
// Moves the window so that its frame sits at the centre of the work area.
void CentreOnScreen(HWND window);
// Gives the control the font.
void SetControlFont(HWND control, HFONT font);

}  // namespace zelto
