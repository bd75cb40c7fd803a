#include "qt/nut_client.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/types.h>

#include <algorithm>
#include <cerrno>

namespace zelto {
namespace {

// A server that takes nothing while this much waits is not reading: the connection goes and the
// follower makes a new one, rather than queue a poll a second for ever.
constexpr std::size_t kMostUnsent = 64 * 1024;

// A socket being connected to the first address `host` resolves to; -1 when none will do.
int StartConnect(const std::string& host, int port) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    // A numeric address is taken as it is, without asking a resolver that might wait.
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    const std::string service = std::to_string(port);
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0) {
        hints.ai_flags = AI_NUMERICSERV;
        if (getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0) {
            return -1;
        }
    }
    int fd = -1;
    for (const addrinfo* a = found; a && fd < 0; a = a->ai_next) {
        fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd >= 0 && ::connect(fd, a->ai_addr, a->ai_addrlen) != 0 && errno != EINPROGRESS) {
            ::close(fd);
            fd = -1;
        }
    }
    freeaddrinfo(found);
    return fd;
}

}  // namespace

void PosixNutClientSocket::Connect(const std::string& host, int port) {
    Close();
    const int fd = StartConnect(host, port);
    if (fd < 0) {
        return;
    }
    watch_ = std::make_unique<SocketWatch>(UniqueFd(fd));
    // Read interest from the first Receive on: while connecting there is nothing to read.
    watch_->WatchReading(false);
    QObject::connect(&watch_->Readable(), &QSocketNotifier::activated, [this] {
        watch_->WatchReading(false);
        if (onAnswer_) {
            onAnswer_();
        }
    });
    state_ = State::Connecting;
}

NutClientSocket::State PosixNutClientSocket::Current() {
    if (state_ == State::Connecting) {
        pollfd watch{Fd(), POLLOUT, 0};
        if (::poll(&watch, 1, 0) > 0) {
            int error = 0;
            socklen_t length = sizeof error;
            const bool ok =
                ::getsockopt(Fd(), SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
            if (ok) {
                state_ = State::Connected;
            } else {
                Close();
            }
        }
    }
    if (state_ == State::Connected && !Flush()) {
        Close();
    }
    return state_;
}

std::string PosixNutClientSocket::Receive(std::size_t limit) {
    std::string bytes;
    if (state_ != State::Connected) {
        return bytes;
    }
    watch_->WatchReading(true);
    char chunk[4096];
    while (bytes.size() < limit) {
        const std::size_t want = std::min(sizeof chunk, limit - bytes.size());
        const ssize_t got = ::recv(Fd(), chunk, want, MSG_DONTWAIT);
        if (got > 0) {
            bytes.append(chunk, static_cast<std::size_t>(got));
            continue;
        }
        if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            // The server ended the connection: what came before it still counts.
            Close();
        }
        break;
    }
    return bytes;
}

void PosixNutClientSocket::Send(std::string_view bytes) {
    if (state_ != State::Connected || bytes.empty()) {
        return;
    }
    if (unsent_.size() + bytes.size() > kMostUnsent) {
        Close();
        return;
    }
    unsent_.append(bytes);
    if (!Flush()) {
        Close();
    }
}

bool PosixNutClientSocket::Flush() {
    while (!unsent_.empty()) {
        const ssize_t sent =
            ::send(Fd(), unsent_.data(), unsent_.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (sent < 0) {
            return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        }
        unsent_.erase(0, static_cast<std::size_t>(sent));
    }
    return true;
}

void PosixNutClientSocket::Close() {
    // Closing may happen inside the notifier's own signal: the watch goes later.
    retired_.Retire(std::move(watch_));
    state_ = State::Closed;
    unsent_.clear();
}

}  // namespace zelto
