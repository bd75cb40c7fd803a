#include "win32/countdown_dialog.h"

#include <string>

#include "core/base/product.h"
#include "core/program/dialog_layouts.h"
#include "win32/controls.h"
#include "win32/ui_style.h"
#include "win32/utf.h"

namespace zelto {
namespace {

// Escape presses "Отмена": it has the cancel id. "Выключить сейчас" must not answer to IDOK,
// which Enter sends when no button has the focus.
constexpr int kButton1Id = IDCANCEL;
constexpr int kButton2Id = 102;
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

}  // namespace

TForm2::TForm2(HWND owner, const UiStyle& ui, Language language) : owner_(owner) {
    const SIZE frame =
        FrameSizeFor(ui.Scale(kCountdownWidth), ui.Scale(kCountdownHeight), kStyle, kExStyle);
    Create(L"TForm2", kExStyle, kStyle, Widen(kModelCaption).c_str(), CW_USEDEFAULT, CW_USEDEFAULT,
           frame.cx, frame.cy, owner);
    const HWND self = Handle();
    if (self == nullptr) {
        return;
    }
    const auto& layout = CountdownLayout(language);
    const auto row = [&layout](const char* name) -> const ControlRow& {
        return LayoutRow(layout, name);
    };
    Label1 = CreateControl(self, L"STATIC", row("Label1").text, SS_LEFTNOWORDWRAP | SS_NOPREFIX,
                           row("Label1").geometry, 100, ui);
    Label2 = CreateControl(self, L"STATIC", row("Label2").text, SS_LEFTNOWORDWRAP | SS_NOPREFIX,
                           row("Label2").geometry, 101, ui);
    // Created first, so it is first in the tab order. Neither button is a default one.
    Button1 = CreateControl(self, L"BUTTON", row("Button1").text, BS_PUSHBUTTON | WS_TABSTOP,
                            row("Button1").geometry, kButton1Id, ui);
    Button2 = CreateControl(self, L"BUTTON", row("Button2").text, BS_PUSHBUTTON | WS_TABSTOP,
                            row("Button2").geometry, kButton2Id, ui);
    lastFocused_ = Button1;
    // The close entry of the system menu is greyed; the close query refuses it anyway.
    EnableMenuItem(GetSystemMenu(self, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
}

void TForm2::OpenCountdown(std::uint16_t seconds, const std::string& caption) {
    const HWND self = Handle();
    if (self == nullptr) {
        return;
    }
    showing_ = true;
    SetWindowTextW(self, Widen(caption).c_str());
    ShowCountdownSeconds(seconds);
    CentreOnScreen(self);
    // The main window is not usable while the countdown shows; the tray icon and its menu are.
    if (owner_ != nullptr) {
        EnableWindow(owner_, FALSE);
    }
    ShowWindow(self, SW_SHOW);
    SetForegroundWindow(self);
    SetFocus(lastFocused_ != nullptr ? lastFocused_ : Button1);
}

void TForm2::ShowCountdownSeconds(std::uint16_t seconds) {
    SetControlText(Label2, std::to_string(seconds));
}

void TForm2::CloseCountdown() {
    if (!showing_) {
        return;
    }
    showing_ = false;
    const HWND focused = GetFocus();
    if (focused == Button1 || focused == Button2) {
        lastFocused_ = focused;
    }
    // The owner first, so that the activation goes back to it rather than to another program.
    if (owner_ != nullptr) {
        EnableWindow(owner_, TRUE);
    }
    ShowWindow(Handle(), SW_HIDE);
}

void TForm2::Answered(int result) {
    if (showing_ && answer_) {
        answer_(result);
    }
}

LRESULT TForm2::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND: {
            // Enter sends IDOK: it presses the button that has the focus.
            const int id = LOWORD(wParam);
            const HWND pressed = id == IDOK ? GetFocus() : reinterpret_cast<HWND>(lParam);
            if (id != IDOK && HIWORD(wParam) != BN_CLICKED) {
                return 0;
            }
            if (id == kButton1Id || pressed == Button1) {
                Answered(CountdownCancelled);
            } else if (pressed == Button2) {
                Answered(CountdownGo);
            }
            return 0;
        }
        case WM_ACTIVATE:
            // Back from another window: the focus goes to the button that had it.
            if (LOWORD(wParam) != WA_INACTIVE && Showing()) {
                const HWND focused = GetFocus();
                if (focused != Button1 && focused != Button2) {
                    SetFocus(lastFocused_ != nullptr ? lastFocused_ : Button1);
                }
                return 0;
            }
            break;
        case WM_SETFOCUS:
            SetFocus(lastFocused_ != nullptr ? lastFocused_ : Button1);
            return 0;
        case WM_CLOSE:
            // The title bar and Alt+F4: the user may not close the countdown.
            return 0;
        case WM_QUERYENDSESSION:
            // The session may end: the power-off the countdown leads to needs exactly that.
            return TRUE;
        default:
            break;
    }
    return DefaultMessage(message, wParam, lParam);
}

}  // namespace zelto
