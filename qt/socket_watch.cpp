#include "qt/socket_watch.h"

#include <utility>

namespace zelto {

SocketWatch::SocketWatch(UniqueFd fd)
    : fd_(std::move(fd)),
      reading_(fd_.Get(), QSocketNotifier::Read),
      writing_(fd_.Get(), QSocketNotifier::Write) {
    writing_.setEnabled(false);
}

void SocketWatch::WatchReading(bool on) {
    if (fd_.Valid() && reading_.isEnabled() != on) {
        reading_.setEnabled(on);
    }
}

void SocketWatch::WatchWriting(bool on) {
    if (fd_.Valid() && writing_.isEnabled() != on) {
        writing_.setEnabled(on);
    }
}

void SocketWatch::Close() {
    reading_.setEnabled(false);
    writing_.setEnabled(false);
    fd_.Reset();
}

RetiredWatches::RetiredWatches() {
    sweep_.setSingleShot(true);
    sweep_.setInterval(0);
    QObject::connect(&sweep_, &QTimer::timeout, [this] { retired_.clear(); });
}

void RetiredWatches::Retire(std::unique_ptr<SocketWatch> watch) {
    if (watch == nullptr) {
        return;
    }
    watch->Close();
    retired_.push_back(std::move(watch));
    sweep_.start();
}

}  // namespace zelto
