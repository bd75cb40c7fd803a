#pragma once
// Shows an error the way the program always has: an error box with one OK button, captioned with
// the application title. The box never blocks its caller, because start-up and polling go on
// while it is open, and only one box is open at a time: the core's ErrorQueue holds the texts
// that arrive meanwhile, and the next one is shown when the box is closed.

#include <QPointer>

#include "core/base/error_queue.h"

class QMessageBox;

namespace zelto {

class MessageBoxReporter : public ErrorReporter, private ErrorBox {
public:
    MessageBoxReporter() = default;
    MessageBoxReporter(const MessageBoxReporter&) = delete;
    MessageBoxReporter& operator=(const MessageBoxReporter&) = delete;
    ~MessageBoxReporter() override;

    void Report(const std::string& text) override { queue_.Report(text); }

    // The open box, or nullptr when none is open.
    QMessageBox* OpenBox() const;
    // The texts waiting for the open box to close.
    const ErrorQueue& Queue() const { return queue_; }

private:
    void ShowBox(const std::string& text) override;

    ErrorQueue queue_{*this};
    QPointer<QMessageBox> box_;
};

}  // namespace zelto
