#pragma once
// Errors in a message box with the error icon and one OK button, captioned with the application
// title. A report never blocks its caller: it is queued and the box opens from the message loop,
// one at a time, each next report waiting for the box before it to close. MessageBoxW runs a
// loop of its own, so polling goes on while a box is open.

#include "win32/windows_api.h"

#include <deque>
#include <string>

#include "core/base/error_reporter.h"

namespace zelto {

class MessageBoxReporter : public ErrorReporter {
public:
    // The message the window that shows the boxes gets when a report waits.
    static constexpr UINT kShowMessage = WM_APP + 10;
    // Reports waiting beyond this many are dropped: an error that repeats every second must not
    // pile up boxes for hours.
    static constexpr std::size_t kMostWaiting = 8;

    void Report(const std::string& text) override;
    // The window whose loop shows the boxes; reports made before it exists wait for it.
    void SetWindow(HWND window);
    // kShowMessage: shows the waiting reports one after another.
    void ShowWaiting();

    bool Showing() const { return showing_; }
    std::size_t Waiting() const { return waiting_.size(); }

private:
    void Wake();

    HWND window_ = nullptr;
    std::deque<std::string> waiting_;
    std::string shown_;
    bool showing_ = false;
    bool woken_ = false;
};

}  // namespace zelto
