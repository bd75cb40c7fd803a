#include "win32/message_box_reporter.h"

#include "core/base/errors.h"
#include "core/base/product.h"
#include "win32/utf.h"

namespace zelto {

void MessageBoxReporter::SetWindow(HWND window) {
    window_ = window;
    Wake();
}

void MessageBoxReporter::ShowBox(const std::string& text) {
    due_ = text;
    Wake();
}

void MessageBoxReporter::Wake() {
    if (window_ != nullptr && due_) {
        PostMessageW(window_, kShowMessage, 0, 0);
    }
}

void MessageBoxReporter::ShowDue() {
    if (!due_) {
        return;
    }
    const std::string text = *due_;
    due_.reset();
    // Task-modal: the program's windows are disabled while the box is open, their timers keep
    // running.
    MessageBoxW(nullptr, Widen(MessageBoxText(text)).c_str(), Widen(kApplicationTitle).c_str(),
                MB_OK | MB_ICONERROR | MB_TASKMODAL | MB_SETFOREGROUND);
    queue_.BoxClosed();
}

}  // namespace zelto
