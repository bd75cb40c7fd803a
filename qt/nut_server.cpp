#include "qt/nut_server.h"

#include <arpa/inet.h>
#include <errno.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <optional>
#include <string_view>
#include <utility>

#include "core/nut/nut_address.h"
#include "core/nut/nut_limits.h"
#include "core/program/nut_startup.h"

namespace zelto {
namespace {

using Clock = NutClients::Clock;

bool WouldBlock(int error) {
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

std::string PeerAddress(int socket) {
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    if (::getpeername(socket, reinterpret_cast<sockaddr*>(&peer), &length) != 0) {
        return "?";
    }
    if (peer.ss_family == AF_INET6) {
        return NutPeerText(reinterpret_cast<const sockaddr_in6&>(peer).sin6_addr.s6_addr, 16);
    }
    const auto& v4 = reinterpret_cast<const sockaddr_in&>(peer).sin_addr;
    return NutPeerText(reinterpret_cast<const std::uint8_t*>(&v4), 4);
}

// Listens on `address`:`port`; the socket, or the error (errno, or getaddrinfo's as negative).
UniqueFd ListeningSocket(const std::string& address, int port, int& error) {
    addrinfo hints{};
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV | AI_PASSIVE;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    const int resolved =
        ::getaddrinfo(address.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (resolved != 0 || found == nullptr) {
        error = resolved != 0 ? resolved : EAI_NONAME;
        return UniqueFd();
    }
    const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> info(found, &::freeaddrinfo);
    UniqueFd socket(
        ::socket(found->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP));
    if (!socket.Valid()) {
        error = errno;
        return UniqueFd();
    }
    // A restart may listen again at once, while the last run's connections linger.
    const int on = 1;
    ::setsockopt(socket.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (found->ai_family == AF_INET6) {
        ::setsockopt(socket.Get(), IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
    }
    if (::bind(socket.Get(), found->ai_addr, found->ai_addrlen) != 0 ||
        ::listen(socket.Get(), SOMAXCONN) != 0) {
        error = errno;
        return UniqueFd();
    }
    return socket;
}

// One accepted connection's socket, reported by the event loop's notifiers. Closing retires the
// notifiers rather than deleting them: the close may come from inside one of their signals.
class QtNutSocket final : public NutSocket {
public:
    QtNutSocket(std::unique_ptr<SocketWatch> watch, RetiredWatches& retired)
        : watch_(std::move(watch)), retired_(retired) {}
    ~QtNutSocket() override {
        if (watch_) {
            retired_.Retire(std::move(watch_));
        }
    }
    QtNutSocket(const QtNutSocket&) = delete;
    QtNutSocket& operator=(const QtNutSocket&) = delete;

    NutReceive Receive(std::string& into, std::size_t max) override {
        const std::size_t had = into.size();
        into.resize(had + max);
        const ssize_t got = ::recv(watch_->Fd(), into.data() + had, max, 0);
        into.resize(had + static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
        if (got > 0) {
            return NutReceive::Data;
        }
        if (got == 0) {
            return NutReceive::Ended;
        }
        return WouldBlock(errno) ? NutReceive::Nothing : NutReceive::Failed;
    }
    std::optional<std::size_t> Send(std::string_view bytes) override {
        const ssize_t sent = ::send(watch_->Fd(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0) {
            return WouldBlock(errno) ? std::optional<std::size_t>(0) : std::nullopt;
        }
        return static_cast<std::size_t>(sent);
    }
    bool PeerClosed() override {
        char byte = 0;
        return ::recv(watch_->Fd(), &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0;
    }
    void Watch(bool readable, bool writable) override {
        watch_->WatchReading(readable);
        watch_->WatchWriting(writable);
    }
    void Close(bool orderly) override {
        if (orderly) {
            ::shutdown(watch_->Fd(), SHUT_WR);
        }
        retired_.Retire(std::move(watch_));
    }

private:
    std::unique_ptr<SocketWatch> watch_;
    RetiredWatches& retired_;
};

}  // namespace

NutServer::NutServer(NutSettings settings, NutFeed& feed, QObject* parent)
    : QObject(parent),
      feed_(feed),
      connections_(std::move(settings), ProgramVersion(), feed.Snapshot(),
                   [](const std::string& notice) { qInfo("%s", notice.c_str()); }) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, [this] {
        connections_.Timeout(Clock::now());
        ArmTimer();
    });
    ArmTimer();
    feed_.SetServerClients(&connections_.Clients());
}

NutServer::~NutServer() {
    feed_.SetServerClients(nullptr);
}

std::unique_ptr<NutServer> NutServer::Start(Settings& settings, ErrorReporter& errors,
                                            NutFeed& feed) {
    return StartNutServer<NutServer>(settings, errors, feed);
}

int NutServer::ListenOn(const std::string& address, int port) {
    int error = 0;
    UniqueFd socket = ListeningSocket(address, port, error);
    if (!socket.Valid()) {
        return error;
    }
    const int fd = socket.Get();
    auto listener = std::make_unique<SocketWatch>(std::move(socket));
    connect(&listener->Readable(), &QSocketNotifier::activated, this, [this, fd] { Accept(fd); });
    listeners_.push_back(std::move(listener));
    return 0;
}

std::string NutServer::ErrorText(int error) {
    return error < 0 ? ::gai_strerror(error) : std::strerror(error);
}

bool NutServer::NoAddressFamily(int error) {
    return error == EAFNOSUPPORT || error == EADDRNOTAVAIL || error == EPROTONOSUPPORT ||
           error == EAI_FAMILY;
}

quint16 NutServer::Port() const {
    if (listeners_.empty()) {
        return 0;
    }
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getsockname(listeners_.front()->Fd(), reinterpret_cast<sockaddr*>(&address), &length) !=
        0) {
        return 0;
    }
    const in_port_t port = address.ss_family == AF_INET6
                               ? reinterpret_cast<const sockaddr_in6&>(address).sin6_port
                               : reinterpret_cast<const sockaddr_in&>(address).sin_port;
    return ntohs(port);
}

void NutServer::Accept(int listener) {
    for (;;) {
        UniqueFd socket(::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (!socket.Valid()) {
            break;
        }
        const std::string address = PeerAddress(socket.Get());
        auto watch = std::make_unique<SocketWatch>(std::move(socket));
        SocketWatch& notices = *watch;
        const auto id = connections_.Accept(
            std::make_unique<QtNutSocket>(std::move(watch), retired_), address, Clock::now());
        if (!id) {
            continue;
        }
        connect(&notices.Readable(), &QSocketNotifier::activated, this, [this, id = *id] {
            connections_.Readable(id, Clock::now());
            ArmTimer();
        });
        connect(&notices.Writable(), &QSocketNotifier::activated, this,
                [this, id = *id] { connections_.Writable(id); });
    }
    ArmTimer();
}

void NutServer::ArmTimer() {
    const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(
        connections_.NextTimeout() - Clock::now());
    timer_.start(static_cast<int>(std::max<std::chrono::milliseconds::rep>(wait.count(), 0)));
}

}  // namespace zelto
