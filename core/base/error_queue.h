#pragma once
// Error boxes one at a time, none lost: a text that arrives while a box is open waits its turn
// and is shown when that box closes. Every front end shows its boxes through this queue, so the
// rule is the same everywhere; a front end only opens one box and says when it was closed.

#include <cstddef>
#include <deque>
#include <optional>
#include <string>

#include "core/base/error_reporter.h"

namespace zelto {

// One error box of the front end.
class ErrorBox {
public:
    virtual ~ErrorBox() = default;
    // Opens a box with the text (MessageBoxText still to be applied) and returns at once; the
    // front end calls ErrorQueue::BoxClosed when the user has closed it.
    virtual void ShowBox(const std::string& text) = 0;
};

class ErrorQueue : public ErrorReporter {
public:
    // Texts waiting behind the open box at most: an error that repeats every second must not
    // pile up a queue the user can never work through.
    static constexpr std::size_t kMaxWaiting = 8;

    explicit ErrorQueue(ErrorBox& box) : box_(box) {}

    // Shows the text at once when no box is open; otherwise it waits, unless the same text is
    // already showing or waiting, or the queue is full.
    void Report(const std::string& text) override;
    // The open box was closed: the oldest waiting text is shown next.
    void BoxClosed();

    const std::optional<std::string>& Showing() const { return showing_; }
    const std::deque<std::string>& Waiting() const { return waiting_; }

private:
    ErrorBox& box_;
    std::optional<std::string> showing_;
    std::deque<std::string> waiting_;
};

}  // namespace zelto
