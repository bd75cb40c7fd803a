#pragma once
// One program per user session: two copies would fight over the port and could both run a
// shutdown. The first start holds a named mutex for its whole run; a later start finds it held,
// asks the first to show its main window and ends without touching the port or the settings.

#include "win32/windows_api.h"

#include "win32/unique_handle.h"

namespace zelto {

// The mutex's name, in the session's own namespace: another user's session runs its own copy.
inline constexpr wchar_t kSingleInstanceMutex[] = L"Local\\UPSZelto.SingleInstance";
// The registered message a later start sends the first program's main window; the window
// answers kShowMainWindowAnswer once it shows.
inline constexpr wchar_t kShowMainWindowMessageName[] = L"UPSZelto.ShowMainWindow";
inline constexpr LRESULT kShowMainWindowAnswer = 0x5A454C54;

// The registered message's number, the same in every program of the session.
UINT ShowMainWindowMessage();

class SingleInstance {
public:
    // Takes the mutex `name`, or finds it taken.
    explicit SingleInstance(const wchar_t* name = kSingleInstanceMutex);

    // True when no other program holds the mutex: this one runs.
    bool First() const { return first_; }

private:
    KernelHandle mutex_;
    bool first_ = true;
};

// Asks the first program's main window, the top-level window of class `windowClass` that answers
// the message, to show; it may still be starting, so this keeps trying for up to `waitMs`.
// True once a window answered.
bool ShowFirstInstance(const wchar_t* windowClass, DWORD waitMs);

}  // namespace zelto
