#include "win32/single_instance.h"

namespace zelto {
namespace {

constexpr DWORD kAnswerTimeoutMs = 2000;
constexpr DWORD kRetryMs = 100;

}  // namespace

UINT ShowMainWindowMessage() {
    return RegisterWindowMessageW(kShowMainWindowMessageName);
}

SingleInstance::SingleInstance(const wchar_t* name) : mutex_(CreateMutexW(nullptr, FALSE, name)) {
    const DWORD error = GetLastError();
    // Held by a program of another security context in the same session: it cannot be opened,
    // and still another copy runs. Any other failure leaves this one running: a program that
    // cannot tell is better than none watching the UPS.
    first_ = mutex_ ? error != ERROR_ALREADY_EXISTS : error != ERROR_ACCESS_DENIED;
}

bool ShowFirstInstance(const wchar_t* windowClass, DWORD waitMs) {
    const UINT message = ShowMainWindowMessage();
    if (message == 0) {
        return false;
    }
    // The user started this copy, so it may bring a window to the front; the first program
    // gets that right for its own window.
    AllowSetForegroundWindow(ASFW_ANY);
    const ULONGLONG deadline = GetTickCount64() + waitMs;
    for (;;) {
        // Other programs may have top-level windows of the same class name: only ours answers.
        for (HWND window = FindWindowExW(nullptr, nullptr, windowClass, nullptr); window != nullptr;
             window = FindWindowExW(nullptr, window, windowClass, nullptr)) {
            DWORD_PTR answer = 0;
            if (SendMessageTimeoutW(window, message, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK,
                                    kAnswerTimeoutMs, &answer) != 0 &&
                static_cast<LRESULT>(answer) == kShowMainWindowAnswer) {
                return true;
            }
        }
        if (GetTickCount64() >= deadline) {
            return false;
        }
        Sleep(kRetryMs);
    }
}

}  // namespace zelto
