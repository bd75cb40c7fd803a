#pragma once
// TAboutBox: the product line, the application icon and a short note, shown from the main
// window's "О программе..." button, which is not usable until the box is closed. It runs no loop
// of its own: the program's loop serves it.

#include "win32/windows_api.h"

#include "core/program/dialog_layouts.h"
#include "win32/unique_handle.h"
#include "win32/window_base.h"

namespace zelto {

class Images;
class UiStyle;

class TAboutBox : public WindowBase {
public:
    TAboutBox(HWND owner, const UiStyle& ui, const Images& images, Language language);

    // Shows the box, its owner disabled, until OK, Enter on OK, the title-bar close or Alt+F4
    // closes it.
    void ShowModal();

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    HWND owner_;
    BrushHandle memoBrush_;
    HWND Memo1 = nullptr;
    HWND OKButton = nullptr;
    bool showing_ = false;
    bool focusMemo_ = false;

    void Close();
};

}  // namespace zelto
