#include "win32/message_box_reporter.h"

#include "core/base/errors.h"
#include "core/base/product.h"
#include "win32/utf.h"

namespace zelto {
namespace {

// How long the program's end waits for an open box to go; it gives up after that rather than
// hang on a box that does not close.
constexpr int kCloseTries = 100;
constexpr DWORD kCloseTryMs = 20;

}  // namespace

MessageBoxReporter::~MessageBoxReporter() {
    CloseOpenBox();
}

void MessageBoxReporter::SetWindow(HWND window) {
    window_ = window;
    OpenDue();
}

void MessageBoxReporter::ShowBox(const std::string& text) {
    due_ = text;
    OpenDue();
}

void MessageBoxReporter::OpenDue() {
    if (window_ == nullptr || !due_ || box_.joinable()) {
        return;
    }
    const std::wstring text = Widen(MessageBoxText(*due_));
    due_.reset();
    const HWND window = window_;
    boxThread_ = std::make_shared<BoxThread>();
    box_ = std::thread([state = boxThread_, text, window] {
        state->id = GetCurrentThreadId();
        // Owned by nobody: an owner in the program's thread would tie the two threads' input
        // together, and the box would disable the program's windows again.
        MessageBoxW(nullptr, text.c_str(), Widen(kApplicationTitle).c_str(),
                    MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
        state->done = true;
        PostMessageW(window, kClosedMessage, 0, 0);
    });
}

void MessageBoxReporter::BoxClosed() {
    if (box_.joinable()) {
        box_.join();
    }
    queue_.BoxClosed();
}

void MessageBoxReporter::CloseOpenBox() {
    if (!box_.joinable()) {
        return;
    }
    // The box may not be up yet when the program ends: its thread's windows are asked to close
    // until the thread has gone.
    for (int tries = 0; tries < kCloseTries && !boxThread_->done; ++tries) {
        EnumThreadWindows(
            boxThread_->id,
            [](HWND box, LPARAM) -> BOOL {
                PostMessageW(box, WM_CLOSE, 0, 0);
                return TRUE;
            },
            0);
        Sleep(kCloseTryMs);
    }
    if (boxThread_->done) {
        box_.join();
    } else {
        box_.detach();
    }
}

}  // namespace zelto
