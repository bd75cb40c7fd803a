#include "qt/nut_server.h"

#include <arpa/inet.h>
#include <errno.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string_view>
#include <utility>

#include "core/nut/nut_limits.h"
#include "core/program/nut_startup.h"

namespace zelto {
namespace {

using Clock = NutClients::Clock;

// What one read takes from a connection. A connection held back is not read at all, so a client
// that sends meanwhile is slowed by TCP, not by the program's memory.
constexpr std::size_t kReadChunk = 4096;

bool WouldBlock(int error) {
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

std::string PeerAddress(int socket) {
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    if (::getpeername(socket, reinterpret_cast<sockaddr*>(&peer), &length) != 0) {
        return "?";
    }
    char text[INET6_ADDRSTRLEN] = {};
    if (peer.ss_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(peer);
        // One address counts once, however it reached the server.
        if (IN6_IS_ADDR_V4MAPPED(&v6.sin6_addr)) {
            in_addr v4{};
            std::memcpy(&v4, &v6.sin6_addr.s6_addr[12], sizeof v4);
            ::inet_ntop(AF_INET, &v4, text, sizeof text);
        } else {
            ::inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text);
        }
    } else {
        const auto& v4 = reinterpret_cast<const sockaddr_in&>(peer);
        ::inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text);
    }
    return text;
}

// ::1 on a system without IPv6.
bool NoIpv6Loopback(const std::string& address, int error) {
    return address == "::1" && (error == EAFNOSUPPORT || error == EADDRNOTAVAIL ||
                                error == EPROTONOSUPPORT || error == EAI_FAMILY);
}

// Listens on `address`:`port`; the socket, or the error (errno, or getaddrinfo's as negative).
UniqueFd ListenOn(const std::string& address, int port, int& error) {
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

std::string ErrorText(int error) {
    return error < 0 ? ::gai_strerror(error) : std::strerror(error);
}

}  // namespace

NutServer::NutServer(NutSettings settings, NutFeed& feed, QObject* parent)
    : QObject(parent),
      feed_(feed),
      clients_(std::move(settings), ProgramVersion(), feed.Snapshot()) {
    idleTimer_.setInterval(1000);
    connect(&idleTimer_, &QTimer::timeout, this, &NutServer::DropIdle);
    idleTimer_.start();
    feed_.SetServerClients(&clients_);
}

NutServer::~NutServer() {
    feed_.SetServerClients(nullptr);
}

std::unique_ptr<NutServer> NutServer::Start(Settings& settings, ErrorReporter& errors,
                                            NutFeed& feed) {
    return StartNutServer<NutServer>(settings, errors, feed);
}

std::vector<std::string> NutServer::Listen() {
    std::vector<std::string> failures;
    const NutSettings& settings = clients_.Settings();
    for (const std::string& text : settings.listen) {
        int error = 0;
        UniqueFd socket = ListenOn(text, settings.port, error);
        if (!socket.Valid()) {
            if (!NoIpv6Loopback(text, error)) {
                failures.push_back(NutEndpointText(text, settings.port) + " (" + ErrorText(error) +
                                   ")");
            }
            continue;
        }
        const int fd = socket.Get();
        auto listener = std::make_unique<SocketWatch>(std::move(socket));
        connect(&listener->Readable(), &QSocketNotifier::activated, this,
                [this, fd] { Accept(fd); });
        listeners_.push_back(std::move(listener));
    }
    return failures;
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
            return;
        }
        const auto id = clients_.Open(PeerAddress(socket.Get()), Clock::now());
        if (!id) {
            // Over the limits: closed before a byte is read.
            continue;
        }
        Connection& connection = connections_[*id];
        connection.socket = std::make_unique<SocketWatch>(std::move(socket));
        connect(&connection.socket->Readable(), &QSocketNotifier::activated, this,
                [this, id = *id] { Read(id); });
        connect(&connection.socket->Writable(), &QSocketNotifier::activated, this,
                [this, id = *id] { Send(id); });
    }
}

void NutServer::Read(Id id) {
    // One chunk a notice: the notifier comes again while data is left, so one busy client
    // cannot keep the loop from the others.
    const Connection* connection = Find(id);
    if (connection == nullptr || clients_.Held(id) || connection->closeWhenSent) {
        Watch(id);
        return;
    }
    char bytes[kReadChunk];
    const ssize_t got = ::recv(connection->socket->Fd(), bytes, sizeof bytes, 0);
    if (got == 0) {
        PeerDone(id);
        return;
    }
    if (got < 0) {
        if (!WouldBlock(errno)) {
            Drop(id);
        }
        return;
    }
    const NutOutput output =
        clients_.Receive(id, std::string_view(bytes, static_cast<std::size_t>(got)), Clock::now());
    Deliver(id, output);
}

void NutServer::PeerDone(Id id) {
    Connection* connection = Find(id);
    if (connection == nullptr) {
        return;
    }
    connection->closeWhenSent = true;
    Send(id);
}

bool NutServer::Deliver(Id id, const NutOutput& output) {
    for (const std::string& notice : output.notices) {
        qInfo("%s", notice.c_str());
    }
    Connection* connection = Find(id);
    if (connection == nullptr) {
        return false;
    }
    if (!QueueNutOutput(clients_.Limits(), output, connection->unsent, connection->closeWhenSent)) {
        Drop(id);
        return false;
    }
    Send(id);
    connection = Find(id);
    if (connection == nullptr || connection->closeWhenSent) {
        return false;
    }
    if (output.hold) {
        QTimer::singleShot(clients_.Limits().failedLoginDelayMs, this, [this, id] { Resume(id); });
        Watch(id);
        return false;
    }
    return true;
}

void NutServer::Send(Id id) {
    Connection* connection = Find(id);
    if (connection == nullptr) {
        return;
    }
    while (!connection->unsent.empty()) {
        const ssize_t sent = ::send(connection->socket->Fd(), connection->unsent.data(),
                                    connection->unsent.size(), MSG_NOSIGNAL);
        if (sent < 0) {
            if (!WouldBlock(errno)) {
                Drop(id);
                return;
            }
            // The rest goes when the socket is writable again.
            break;
        }
        connection->unsent.erase(0, static_cast<std::size_t>(sent));
    }
    if (connection->unsent.empty() && connection->closeWhenSent && !clients_.Held(id)) {
        Finish(id);
        return;
    }
    Watch(id);
}

void NutServer::Resume(Id id) {
    if (Find(id) == nullptr) {
        return;
    }
    if (Deliver(id, clients_.Resume(id, Clock::now()))) {
        // What arrived meanwhile waits in the socket, and is reported again once read.
        Watch(id);
    }
}

void NutServer::Watch(Id id) {
    Connection* connection = Find(id);
    if (connection == nullptr) {
        return;
    }
    connection->socket->WatchReading(!clients_.Held(id) && !connection->closeWhenSent);
    connection->socket->WatchWriting(!connection->unsent.empty());
}

void NutServer::Drop(Id id) {
    clients_.Close(id);
    const auto found = connections_.find(id);
    if (found == connections_.end()) {
        return;
    }
    retired_.Retire(std::move(found->second.socket));
    connections_.erase(found);
}

void NutServer::Finish(Id id) {
    clients_.Close(id);
    const auto found = connections_.find(id);
    if (found == connections_.end()) {
        return;
    }
    ::shutdown(found->second.socket->Fd(), SHUT_WR);
    retired_.Retire(std::move(found->second.socket));
    connections_.erase(found);
}

void NutServer::DropIdle() {
    for (const Id id : clients_.Idle(Clock::now())) {
        Drop(id);
    }
}

NutServer::Connection* NutServer::Find(Id id) {
    const auto found = connections_.find(id);
    return found == connections_.end() ? nullptr : &found->second;
}

}  // namespace zelto
