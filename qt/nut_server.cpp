#include "qt/nut_server.h"

#include <QEventLoop>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtGlobal>

#include <chrono>
#include <string_view>
#include <utility>

#include "core/nut/nut_fsd_wait.h"
#include "core/nut/nut_limits.h"
#include "core/program/nut_startup.h"

namespace zelto {
namespace {

using Clock = NutClients::Clock;

// What one read takes from a connection; the socket buffers no more than this either, so a
// client that sends while it is held back is slowed by TCP, not by the program's memory.
constexpr qint64 kReadChunk = 4096;
// How often the wait for the secondaries looks at the login count.
constexpr int kWaitPollMs = 100;

std::string PeerAddress(const QTcpSocket& socket) {
    QHostAddress peer = socket.peerAddress();
    // One address counts once, however it reached a dual-stack socket.
    bool isV4 = false;
    const quint32 v4 = peer.toIPv4Address(&isV4);
    if (isV4) {
        peer = QHostAddress(v4);
    }
    return peer.toString().toStdString();
}

// ::1 on a system without IPv6.
bool NoIpv6Loopback(const QHostAddress& address, QAbstractSocket::SocketError error) {
    return address == QHostAddress(QHostAddress::LocalHostIPv6) &&
           (error == QAbstractSocket::SocketAddressNotAvailableError ||
            error == QAbstractSocket::UnsupportedSocketOperationError);
}

}  // namespace

NutServer::NutServer(NutSettings settings, NutFeed& feed, QObject* parent)
    : QObject(parent),
      feed_(feed),
      clients_(std::move(settings), ProgramVersion(), feed.Snapshot()) {
    idleTimer_.setInterval(1000);
    connect(&idleTimer_, &QTimer::timeout, this, &NutServer::DropIdle);
    idleTimer_.start();
    feed_.SetSecondaryWait(this);
}

NutServer::~NutServer() {
    feed_.SetSecondaryWait(nullptr);
    // The sockets belong to the listeners; nothing may call back into this while they go.
    for (const auto& [id, socket] : sockets_) {
        socket->disconnect(this);
    }
}

std::unique_ptr<NutServer> NutServer::Start(Settings& settings, ErrorReporter& errors,
                                            NutFeed& feed) {
    return StartNutServer<NutServer>(settings, errors, feed);
}

std::vector<std::string> NutServer::Listen() {
    std::vector<std::string> failures;
    const NutSettings& settings = clients_.Settings();
    for (const std::string& text : settings.listen) {
        const QHostAddress address(QString::fromStdString(text));
        auto listener = std::make_unique<QTcpServer>();
        if (!listener->listen(address, static_cast<quint16>(settings.port))) {
            if (!NoIpv6Loopback(address, listener->serverError())) {
                failures.push_back(NutEndpointText(text, settings.port) + " (" +
                                   listener->errorString().toStdString() + ")");
            }
            continue;
        }
        QTcpServer* raw = listener.get();
        connect(raw, &QTcpServer::newConnection, this, [this, raw] { Accept(raw); });
        listeners_.push_back(std::move(listener));
    }
    return failures;
}

quint16 NutServer::Port() const {
    return listeners_.empty() ? 0 : listeners_.front()->serverPort();
}

void NutServer::Accept(QTcpServer* listener) {
    while (QTcpSocket* socket = listener->nextPendingConnection()) {
        const auto id = clients_.Open(PeerAddress(*socket), Clock::now());
        if (!id) {
            // Over the limits: closed before a byte is read.
            socket->abort();
            socket->deleteLater();
            continue;
        }
        socket->setReadBufferSize(kReadChunk);
        sockets_[*id] = socket;
        connect(socket, &QTcpSocket::readyRead, this, [this, id = *id] { Read(id); });
        connect(socket, &QTcpSocket::disconnected, this, [this, id = *id] { Forget(id); });
        connect(socket, &QAbstractSocket::errorOccurred, this,
                [this, id = *id](QAbstractSocket::SocketError) { Drop(id); });
    }
}

void NutServer::Read(Id id) {
    QTcpSocket* socket = Socket(id);
    while (socket != nullptr && !clients_.Held(id) && socket->bytesAvailable() > 0) {
        const QByteArray bytes = socket->read(kReadChunk);
        const NutOutput output = clients_.Receive(
            id, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
            Clock::now());
        if (!Deliver(id, output)) {
            return;
        }
        socket = Socket(id);
    }
}

bool NutServer::Deliver(Id id, const NutOutput& output) {
    for (const std::string& notice : output.notices) {
        qInfo("%s", notice.c_str());
    }
    QTcpSocket* socket = Socket(id);
    if (socket == nullptr) {
        return false;
    }
    if (output.drop) {
        Drop(id);
        return false;
    }
    if (!output.text.empty()) {
        socket->write(output.text.data(), static_cast<qint64>(output.text.size()));
        // A client that does not read its answers is not kept, nor are they.
        if (NutOutputOverCap(clients_.Limits(), static_cast<std::size_t>(socket->bytesToWrite()))) {
            Drop(id);
            return false;
        }
    }
    if (output.close) {
        // Sends what is queued, then closes; a peer that never reads it goes when idle.
        socket->disconnectFromHost();
        return false;
    }
    if (output.hold) {
        QTimer::singleShot(clients_.Limits().failedLoginDelayMs, socket,
                           [this, id] { Resume(id); });
        return false;
    }
    return true;
}

void NutServer::Resume(Id id) {
    if (Deliver(id, clients_.Resume(id, Clock::now()))) {
        // What arrived meanwhile waits in the socket: no readyRead will come for it.
        Read(id);
    }
}

void NutServer::Drop(Id id) {
    clients_.Close(id);
    const auto found = sockets_.find(id);
    if (found == sockets_.end()) {
        return;
    }
    QTcpSocket* socket = found->second;
    sockets_.erase(found);
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

void NutServer::Forget(Id id) {
    clients_.Close(id);
    const auto found = sockets_.find(id);
    if (found != sockets_.end()) {
        found->second->disconnect(this);
        found->second->deleteLater();
        sockets_.erase(found);
    }
}

void NutServer::DropIdle() {
    for (const Id id : clients_.Idle(Clock::now())) {
        Drop(id);
    }
}

QTcpSocket* NutServer::Socket(Id id) const {
    const auto found = sockets_.find(id);
    return found == sockets_.end() ? nullptr : found->second;
}

void NutServer::Wait() {
    const auto committed = Clock::now();
    const std::chrono::seconds wait(clients_.Settings().fsdWaitSeconds);
    const auto over = [&] {
        return NutFsdWaitOver(NutFsdWaitState(committed, Clock::now(), LoginCount(), wait));
    };
    if (over()) {
        return;
    }
    // Like the countdown: the poll timer keeps ticking while this blocks its caller.
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(kWaitPollMs);
    connect(&poll, &QTimer::timeout, &loop, [&] {
        if (over()) {
            loop.quit();
        }
    });
    poll.start();
    loop.exec();
}

}  // namespace zelto
