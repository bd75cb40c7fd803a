#include "core/base/error_queue.h"

#include <algorithm>

namespace zelto {

void ErrorQueue::Report(const std::string& text) {
    if (!showing_) {
        showing_ = text;
        box_.ShowBox(text);
        return;
    }
    if (*showing_ == text || waiting_.size() >= kMaxWaiting ||
        std::find(waiting_.begin(), waiting_.end(), text) != waiting_.end()) {
        return;
    }
    waiting_.push_back(text);
}

void ErrorQueue::BoxClosed() {
    showing_.reset();
    if (waiting_.empty()) {
        return;
    }
    showing_ = std::move(waiting_.front());
    waiting_.pop_front();
    box_.ShowBox(*showing_);
}

}  // namespace zelto
