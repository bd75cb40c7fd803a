#pragma once
// "Сетевой UPS": the server, the UPS's name and the login of a UPS another machine serves. It is
// modeless and runs no loop of its own, so the poll timer goes on while it shows; its buttons go
// to the program, which answers through the main window.

#include "win32/windows_api.h"

#include <string>

#include "core/base/texts.h"
#include "core/program/network_ups.h"
#include "core/program/user_actions.h"
#include "win32/window_base.h"

namespace zelto {

class UiStyle;

class NetworkUpsDialog : public WindowBase {
public:
    NetworkUpsDialog(HWND owner, const UiStyle& ui, UserActions& actions, Language language);

    // Fills the fields, clears the status line and brings the dialog to the front.
    void Open(const NetworkUpsForm& form);
    void ShowCheck(const std::string& text);
    bool Showing() const { return showing_; }
    NetworkUpsForm Fields() const;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void Hide();

    UserActions& actions_;
    HWND host_ = nullptr;
    HWND ups_ = nullptr;
    HWND user_ = nullptr;
    HWND password_ = nullptr;
    HWND status_ = nullptr;
    // The control that had the focus when the dialog was last left.
    HWND lastFocused_ = nullptr;
    bool showing_ = false;
};

}  // namespace zelto
