#include "win32/modal_loop.h"

namespace zelto {

bool RunModal(HWND window, HWND owner, const std::function<bool()>& ended) {
    const bool ownerWasEnabled = owner != nullptr && IsWindowEnabled(owner);
    if (ownerWasEnabled) {
        EnableWindow(owner, FALSE);
    }
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    bool endedByResult = true;
    while (!ended()) {
        MSG message{};
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            // The program is ending: the outer loop must see the quit too.
            PostQuitMessage(got == 0 ? static_cast<int>(message.wParam) : 1);
            endedByResult = false;
            break;
        }
        if (!IsDialogMessageW(window, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    // The owner first, so that the activation goes back to it rather than to another program.
    if (ownerWasEnabled) {
        EnableWindow(owner, TRUE);
    }
    ShowWindow(window, SW_HIDE);
    return endedByResult;
}

}  // namespace zelto
