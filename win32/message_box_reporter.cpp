#include "win32/message_box_reporter.h"

#include <algorithm>

#include "core/base/errors.h"
#include "core/base/product.h"
#include "win32/utf.h"

namespace zelto {

void MessageBoxReporter::Report(const std::string& text) {
    // The same error again while it shows or waits adds nothing the user has not been told.
    const bool known = (showing_ && text == shown_) ||
                       std::find(waiting_.begin(), waiting_.end(), text) != waiting_.end();
    if (known || waiting_.size() >= kMostWaiting) {
        return;
    }
    waiting_.push_back(text);
    Wake();
}

void MessageBoxReporter::SetWindow(HWND window) {
    window_ = window;
    if (!waiting_.empty()) {
        Wake();
    }
}

void MessageBoxReporter::Wake() {
    if (window_ != nullptr && !woken_ && !showing_) {
        woken_ = PostMessageW(window_, kShowMessage, 0, 0) != FALSE;
    }
}

void MessageBoxReporter::ShowWaiting() {
    woken_ = false;
    if (showing_) {
        return;
    }
    showing_ = true;
    const std::wstring caption = Widen(kApplicationTitle);
    while (!waiting_.empty()) {
        shown_ = waiting_.front();
        waiting_.pop_front();
        // Task-modal: the program's windows are disabled while the box is open, their timers
        // keep running.
        MessageBoxW(nullptr, Widen(MessageBoxText(shown_)).c_str(), caption.c_str(),
                    MB_OK | MB_ICONERROR | MB_TASKMODAL | MB_SETFOREGROUND);
    }
    shown_.clear();
    showing_ = false;
}

}  // namespace zelto
