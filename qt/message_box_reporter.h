#pragma once
// Shows an error the way the program always has: an error box with one OK button, captioned with
// the application title. The box never blocks its caller, because start-up and polling go on
// while it is open, and only one box is open at a time: reports that arrive meanwhile are dropped
// rather than piling boxes on top of each other once a second.

#include <QPointer>

#include "core/base/error_reporter.h"

class QMessageBox;

namespace zelto {

class MessageBoxReporter : public ErrorReporter {
public:
    MessageBoxReporter() = default;
    MessageBoxReporter(const MessageBoxReporter&) = delete;
    MessageBoxReporter& operator=(const MessageBoxReporter&) = delete;
    ~MessageBoxReporter() override;

    void Report(const std::string& text) override;

    // The open box, or nullptr when none is open.
    QMessageBox* OpenBox() const;

private:
    QPointer<QMessageBox> box_;
};

}  // namespace zelto
