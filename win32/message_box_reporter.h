#pragma once
// Errors in a message box with the error icon and one OK button, captioned with the application
// title, one at a time: the core's ErrorQueue holds the texts that arrive while a box is open
// and hands over the next when it closes. A report never blocks its caller: the box opens from
// the message loop, and MessageBoxW runs a loop of its own, so polling goes on underneath.

#include "win32/windows_api.h"

#include <optional>
#include <string>

#include "core/base/error_queue.h"

namespace zelto {

class MessageBoxReporter : public ErrorReporter, private ErrorBox {
public:
    // The message the window that shows the boxes gets when a box is to open.
    static constexpr UINT kShowMessage = WM_APP + 10;

    MessageBoxReporter() = default;
    MessageBoxReporter(const MessageBoxReporter&) = delete;
    MessageBoxReporter& operator=(const MessageBoxReporter&) = delete;

    void Report(const std::string& text) override { queue_.Report(text); }
    // The window whose loop shows the boxes; a box due before it exists waits for it.
    void SetWindow(HWND window);
    // kShowMessage: shows the box that is due, and tells the queue when it was closed.
    void ShowDue();

    const ErrorQueue& Queue() const { return queue_; }
    // The text of the box that is to open and has not yet; nothing when none is due.
    const std::optional<std::string>& Due() const { return due_; }

private:
    void ShowBox(const std::string& text) override;
    void Wake();

    ErrorQueue queue_{*this};
    HWND window_ = nullptr;
    std::optional<std::string> due_;
};

}  // namespace zelto
