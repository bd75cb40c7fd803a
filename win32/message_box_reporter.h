#pragma once
// Errors in a message box with the error icon and one OK button, captioned with the application
// title, one at a time: the core's ErrorQueue holds the texts that arrive while a box is open
// and hands over the next when it closes. A box runs in a thread of its own, so no loop of the
// program's thread waits on it: the ticks, the countdown, the tray icon and its menu go on while
// it is open.

#include "win32/windows_api.h"

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "core/base/error_queue.h"

namespace zelto {

class MessageBoxReporter : public ErrorReporter, private ErrorBox {
public:
    // The message the window that shows the boxes gets when the open box was closed.
    static constexpr UINT kClosedMessage = WM_APP + 10;

    MessageBoxReporter() = default;
    MessageBoxReporter(const MessageBoxReporter&) = delete;
    MessageBoxReporter& operator=(const MessageBoxReporter&) = delete;
    // A box still open goes with the program.
    ~MessageBoxReporter() override;

    void Report(const std::string& text) override { queue_.Report(text); }
    // The window told of each closed box; a box due before it exists waits for it.
    void SetWindow(HWND window);
    // kClosedMessage: the next text, if one waits, gets its box.
    void BoxClosed();

    const ErrorQueue& Queue() const { return queue_; }
    // The text of the box that is to open and has not yet; nothing when none is due.
    const std::optional<std::string>& Due() const { return due_; }

private:
    void ShowBox(const std::string& text) override;
    void OpenDue();
    void CloseOpenBox();

    ErrorQueue queue_{*this};
    HWND window_ = nullptr;
    std::optional<std::string> due_;
    // What the box's thread tells, shared with it, since it may outlive the reporter at the
    // program's end.
    struct BoxThread {
        std::atomic<DWORD> id{0};
        std::atomic<bool> done{false};
    };
    std::thread box_;
    std::shared_ptr<BoxThread> boxThread_;
};

}  // namespace zelto
