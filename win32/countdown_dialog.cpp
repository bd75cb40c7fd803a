#include "win32/countdown_dialog.h"

#include <string>

#include "core/base/product.h"
#include "win32/controls.h"
#include "win32/modal_loop.h"
#include "win32/ui_style.h"
#include "win32/utf.h"

namespace zelto {
namespace {

constexpr int kClientWidth = 295;
constexpr int kClientHeight = 118;
constexpr UINT_PTR kTimer1 = 1;
constexpr UINT kTickMs = 1000;
// Escape presses "Отмена": it has the cancel id. "Выключить сейчас" must not answer to IDOK,
// which Enter sends when no button has the focus.
constexpr int kButton1Id = IDCANCEL;
constexpr int kButton2Id = 102;
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

}  // namespace

TForm2::TForm2(HWND owner, const UiStyle& ui) : owner_(owner) {
    const SIZE frame =
        FrameSizeFor(ui.Scale(kClientWidth), ui.Scale(kClientHeight), kStyle, kExStyle);
    Create(L"TForm2", kExStyle, kStyle, Widen(kModelCaption).c_str(), CW_USEDEFAULT, CW_USEDEFAULT,
           frame.cx, frame.cy, owner);
    const HWND self = Handle();
    if (self == nullptr) {
        return;
    }
    Label1 = CreateControl(self, L"STATIC", "Система будет выключена через",
                           SS_LEFTNOWORDWRAP | SS_NOPREFIX, {56, 24, 167, 13}, 100, ui);
    Label2 = CreateControl(self, L"STATIC", "000", SS_LEFTNOWORDWRAP | SS_NOPREFIX,
                           {131, 48, 18, 13}, 101, ui);
    // Created first, so it is first in the tab order. Neither button is a default one.
    Button1 = CreateControl(self, L"BUTTON", "Отмена", BS_PUSHBUTTON | WS_TABSTOP,
                            {200, 80, 75, 25}, kButton1Id, ui);
    Button2 = CreateControl(self, L"BUTTON", "Выключить сейчас", BS_PUSHBUTTON | WS_TABSTOP,
                            {16, 80, 121, 25}, kButton2Id, ui);
    lastFocused_ = Button1;
    // The close entry of the system menu is greyed; the close query refuses it anyway.
    EnableMenuItem(GetSystemMenu(self, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
}

int TForm2::Run(std::uint16_t& seconds) {
    const HWND self = Handle();
    if (self == nullptr) {
        return CountdownProgramEnding;
    }
    // Cancels that came while hidden (every record on mains sends one) must not cut this
    // showing short.
    pendingResult_ = 0;
    seconds_ = &seconds;
    ShowSeconds();
    CentreOnScreen(self);
    SetTimer(self, kTimer1, kTickMs, nullptr);
    const bool ended = RunModal(self, owner_, [this] { return pendingResult_ != 0; });
    KillTimer(self, kTimer1);
    seconds_ = nullptr;
    // A loop that ended without a result of ours ended because the program is quitting: that
    // must not lead to a power action.
    return ended ? pendingResult_ : CountdownProgramEnding;
}

void TForm2::Cancel() {
    if (Showing()) {
        End(CountdownCancelled);
    }
}

void TForm2::EndForExit() {
    if (Showing()) {
        End(CountdownProgramEnding);
    }
}

void TForm2::End(int result) {
    if (pendingResult_ != 0) {
        return;
    }
    pendingResult_ = result;
    const HWND focused = GetFocus();
    if (focused == Button1 || focused == Button2) {
        lastFocused_ = focused;
    }
    KillTimer(Handle(), kTimer1);
    // A menu open over the countdown (the tray's) runs a loop inside the countdown's, which
    // would hold the result until the menu closed.
    EndMenu();
    // Wakes the countdown's loop, wherever the result was set from.
    PostMessageW(Handle(), WM_NULL, 0, 0);
}

void TForm2::Timer1Timer() {
    if (seconds_ == nullptr || pendingResult_ != 0) {
        return;
    }
    const bool reachedZero = CountdownTick(*seconds_);
    ShowSeconds();
    if (reachedZero) {
        End(CountdownGo);
    }
}

void TForm2::ShowSeconds() {
    SetControlText(Label2, std::to_string(seconds_ != nullptr ? *seconds_ : 0));
}

LRESULT TForm2::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_TIMER:
            if (wParam == kTimer1) {
                Timer1Timer();
                return 0;
            }
            break;
        case WM_COMMAND: {
            // Enter sends IDOK: it presses the button that has the focus.
            const int id = LOWORD(wParam);
            const HWND pressed = id == IDOK ? GetFocus() : reinterpret_cast<HWND>(lParam);
            if (id != IDOK && HIWORD(wParam) != BN_CLICKED) {
                return 0;
            }
            if (id == kButton1Id || pressed == Button1) {
                End(CountdownCancelled);
            } else if (pressed == Button2) {
                End(CountdownGo);
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
