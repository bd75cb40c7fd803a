#include "qt/single_instance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

#include <unistd.h>

#include <cstdio>

namespace zelto {
namespace {

const QByteArray kShowRequest = QByteArrayLiteral("show\n");
// A first copy that holds the lock may still be on its way to listening.
constexpr int kAskForMs = 3000;
constexpr int kConnectMs = 500;

}  // namespace

SingleInstance::SingleInstance(const QString& folder)
    : folder_(folder), lock_(QDir(folder).filePath(QStringLiteral("upszelto.lock"))) {
    // Never stale by age: the program holds its lock for as long as it runs. A lock whose
    // process is gone is still taken over.
    lock_.setStaleLockTime(0);
}

SingleInstance::~SingleInstance() {
    if (server_) {
        server_->close();
    }
}

QString SingleInstance::DefaultFolder() {
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty() && QDir(runtime).exists()) {
        return runtime;
    }
    const QString own = QDir::temp().filePath(QStringLiteral("upszelto-%1").arg(::getuid()));
    QDir().mkpath(own);
    QFile::setPermissions(own,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return own;
}

QString SingleInstance::LockPath() const {
    return QDir(folder_).filePath(QStringLiteral("upszelto.lock"));
}

QString SingleInstance::SocketPath() const {
    return QDir(folder_).filePath(QStringLiteral("upszelto.socket"));
}

SingleInstance::Role SingleInstance::Claim() {
    if (lock_.tryLock(0)) {
        if (!Listen()) {
            std::fprintf(stderr,
                         "upszelto: cannot listen on %s: a later start cannot reach this one\n",
                         qPrintable(SocketPath()));
        }
        return Role::First;
    }
    if (lock_.error() != QLockFile::LockFailedError) {
        std::fprintf(stderr, "upszelto: cannot make the lock %s; running without it\n",
                     qPrintable(LockPath()));
        return Role::First;
    }
    return AskFirst() ? Role::Second : Role::Unasked;
}

bool SingleInstance::Listen() {
    // A socket file left by a copy that died: the lock is ours, so nobody listens on it.
    QLocalServer::removeServer(SocketPath());
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_.get(), &QLocalServer::newConnection, this, &SingleInstance::Accept);
    return server_->listen(SocketPath());
}

void SingleInstance::Accept() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto readRequest = [this, socket] {
            // Only the one short request is read; anything longer is not ours.
            if (socket->bytesAvailable() < kShowRequest.size()) {
                return;
            }
            if (socket->read(kShowRequest.size()) == kShowRequest) {
                emit showRequested();
            }
            socket->disconnectFromServer();
        };
        connect(socket, &QLocalSocket::readyRead, this, readRequest);
        readRequest();
    }
}

bool SingleInstance::AskFirst() const {
    QElapsedTimer asking;
    asking.start();
    do {
        QLocalSocket socket;
        socket.connectToServer(SocketPath());
        if (socket.waitForConnected(kConnectMs)) {
            socket.write(kShowRequest);
            // Written into the socket is delivered: the first reads it when its loop comes round.
            const bool sent = socket.waitForBytesWritten(kConnectMs);
            socket.disconnectFromServer();
            if (sent) {
                return true;
            }
        }
        QThread::msleep(100);
    } while (asking.elapsed() < kAskForMs);
    std::fprintf(stderr, "upszelto: another copy runs (%s) but does not answer on %s\n",
                 qPrintable(LockPath()), qPrintable(SocketPath()));
    return false;
}

}  // namespace zelto
