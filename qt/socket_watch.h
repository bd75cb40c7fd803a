#pragma once
// A non-blocking socket reported by the event loop: readable, and writable while asked. Whoever
// closes one may be inside one of its notifiers' signals, so closing deletes nothing: the
// notifiers are disabled and the socket closed, and the object goes later with its owner's
// sweep.

#include <QSocketNotifier>
#include <QTimer>

#include <memory>
#include <vector>

#include "qt/unique_fd.h"

namespace zelto {

class SocketWatch {
public:
    // Readable is reported at once; writable only once asked for.
    explicit SocketWatch(UniqueFd fd);
    SocketWatch(const SocketWatch&) = delete;
    SocketWatch& operator=(const SocketWatch&) = delete;

    int Fd() const { return fd_.Get(); }
    bool Open() const { return fd_.Valid(); }
    QSocketNotifier& Readable() { return reading_; }
    QSocketNotifier& Writable() { return writing_; }
    // Both are level-triggered: a socket left unread or writable is reported again and again.
    void WatchReading(bool on);
    void WatchWriting(bool on);
    void Close();

private:
    // Declared first, so the notifiers are gone before the socket closes.
    UniqueFd fd_;
    QSocketNotifier reading_;
    QSocketNotifier writing_;
};

// Closed watches kept until the event loop comes round again, when none of their signals can be
// running any more.
class RetiredWatches {
public:
    RetiredWatches();
    void Retire(std::unique_ptr<SocketWatch> watch);

private:
    std::vector<std::unique_ptr<SocketWatch>> retired_;
    QTimer sweep_;
};

}  // namespace zelto
