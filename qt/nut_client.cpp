#include "qt/nut_client.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/types.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <thread>

namespace zelto {
namespace {

// A server that takes nothing while this much waits is not reading: the connection goes and the
// follower makes a new one, rather than queue a poll a second for ever.
constexpr std::size_t kMostUnsent = 64 * 1024;

using Addresses = PosixNutClientSocket::Addresses;

Addresses Resolve(const std::string& host, int port, int flags) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = flags | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) {
        return nullptr;
    }
    return Addresses(found);
}

// A socket being connected to the first address from `next` on that does not refuse at once,
// `next` left at the one after it; -1 when none is left.
int ConnectNext(const addrinfo*& next) {
    int fd = -1;
    for (; next && fd < 0; next = next->ai_next) {
        const addrinfo& a = *next;
        fd = ::socket(a.ai_family, a.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a.ai_protocol);
        if (fd >= 0 && ::connect(fd, a.ai_addr, a.ai_addrlen) != 0 && errno != EINPROGRESS) {
            ::close(fd);
            fd = -1;
        }
    }
    return fd;
}

}  // namespace

// A name's addresses, looked up on a thread of its own: a resolver that cannot reach its server
// (the switch went down with the mains) takes seconds, which the tick must not wait for.
struct PosixNutClientSocket::Lookup {
    std::mutex mutex;
    bool done = false;
    Addresses found;
};

void PosixNutClientSocket::Connect(const std::string& host, int port) {
    Close();
    // An address is taken as it is, without asking the resolver.
    if (Addresses numeric = Resolve(host, port, AI_NUMERICHOST)) {
        Begin(std::move(numeric));
        return;
    }
    lookup_ = std::make_shared<Lookup>();
    state_ = State::Connecting;
    // Detached: a lookup outlasting the connection (or the program) holds only its own state.
    std::thread([lookup = lookup_, host, port] {
        Addresses found = Resolve(host, port, 0);
        const std::lock_guard<std::mutex> lock(lookup->mutex);
        lookup->found = std::move(found);
        lookup->done = true;
    }).detach();
}

void PosixNutClientSocket::Begin(Addresses addresses) {
    addresses_ = std::move(addresses);
    next_ = addresses_.get();
    TryNext();
}

void PosixNutClientSocket::TryNext() {
    if (watch_) {
        retired_.Retire(std::move(watch_));
    }
    const int fd = ConnectNext(next_);
    if (fd < 0) {
        Close();
        return;
    }
    watch_ = std::make_unique<SocketWatch>(UniqueFd(fd));
    // Read interest from the first Receive on: while connecting there is nothing to read.
    watch_->WatchReading(false);
    QObject::connect(&watch_->Readable(), &QSocketNotifier::activated, [this] {
        watch_->WatchReading(false);
        mayHaveBytes_ = true;
        if (onAnswer_) {
            onAnswer_();
        }
    });
    state_ = State::Connecting;
}

NutClientSocket::State PosixNutClientSocket::Current() {
    if (lookup_) {
        std::unique_lock<std::mutex> lock(lookup_->mutex);
        if (!lookup_->done) {
            return state_;
        }
        Addresses found = std::move(lookup_->found);
        lock.unlock();
        lookup_.reset();
        Begin(std::move(found));
    }
    if (state_ == State::Connecting) {
        pollfd watch{Fd(), POLLOUT, 0};
        if (::poll(&watch, 1, 0) > 0) {
            int error = 0;
            socklen_t length = sizeof error;
            const bool ok =
                ::getsockopt(Fd(), SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
            if (ok) {
                state_ = State::Connected;
                mayHaveBytes_ = true;
                addresses_.reset();
            } else {
                // localhost is ::1 first, where a server may listen on 127.0.0.1 alone.
                TryNext();
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
    while (mayHaveBytes_ && bytes.size() < limit) {
        const std::size_t want = std::min(sizeof chunk, limit - bytes.size());
        const ssize_t got = ::recv(Fd(), chunk, want, MSG_DONTWAIT);
        if (got > 0) {
            bytes.append(chunk, static_cast<std::size_t>(got));
            // Less than asked for: the stream is drained for now.
            mayHaveBytes_ = static_cast<std::size_t>(got) == want;
            continue;
        }
        if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            // The server ended the connection: what came before it still counts.
            Close();
            break;
        }
        mayHaveBytes_ = errno == EINTR;
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
    lookup_.reset();
    addresses_.reset();
    next_ = nullptr;
    // Closing may happen inside the notifier's own signal: the watch goes later.
    retired_.Retire(std::move(watch_));
    state_ = State::Closed;
    unsent_.clear();
}

}  // namespace zelto
