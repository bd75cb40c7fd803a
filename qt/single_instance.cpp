#include "qt/single_instance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QThread>

#include <errno.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string_view>
#include <utility>

namespace zelto {
namespace {

constexpr std::string_view kShowRequest = "show\n";
// A first copy that holds the lock may still be on its way to listening.
constexpr int kAskForMs = 3000;
constexpr int kConnectMs = 500;
// Later starts talking at once; more than this are turned away unheard.
constexpr std::size_t kMaxCallers = 8;

// The socket's address, or false when the path is too long for one.
bool SocketAddress(const QString& path, sockaddr_un& address) {
    const QByteArray bytes = QFile::encodeName(path);
    address = sockaddr_un{};
    address.sun_family = AF_UNIX;
    if (bytes.isEmpty() || static_cast<std::size_t>(bytes.size()) >= sizeof address.sun_path) {
        return false;
    }
    std::memcpy(address.sun_path, bytes.constData(), static_cast<std::size_t>(bytes.size()));
    return true;
}

UniqueFd LocalSocket() {
    return UniqueFd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
}

// Whether the socket takes data within `ms`.
bool WaitWritable(int fd, int ms) {
    pollfd entry{fd, POLLOUT, 0};
    int ready = 0;
    do {
        ready = ::poll(&entry, 1, ms);
    } while (ready < 0 && errno == EINTR);
    return ready == 1 && (entry.revents & POLLOUT) != 0;
}

// Asks the copy listening at `address` once; true when the request went out.
bool AskOnce(const sockaddr_un& address) {
    const UniqueFd socket = LocalSocket();
    if (!socket.Valid()) {
        return false;
    }
    if (::connect(socket.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 &&
        errno != EINPROGRESS) {
        // Nobody listening yet, or its queue full (EAGAIN): asked again a little later.
        return false;
    }
    if (!WaitWritable(socket.Get(), kConnectMs)) {
        return false;
    }
    // Written into the socket is delivered: the first reads it when its loop comes round.
    const ssize_t sent =
        ::send(socket.Get(), kShowRequest.data(), kShowRequest.size(), MSG_NOSIGNAL);
    return sent == static_cast<ssize_t>(kShowRequest.size());
}

}  // namespace

SingleInstance::SingleInstance(const QString& folder)
    : folder_(folder), lock_(QDir(folder).filePath(QStringLiteral("upszelto.lock"))) {
    // Never stale by age: the program holds its lock for as long as it runs. A lock whose
    // process is gone is still taken over.
    lock_.setStaleLockTime(0);
}

SingleInstance::~SingleInstance() {
    if (listener_ != nullptr) {
        listener_->Close();
        ::unlink(QFile::encodeName(listeningOn_).constData());
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
    const QString path = SocketPath();
    sockaddr_un address{};
    UniqueFd socket = LocalSocket();
    if (!SocketAddress(path, address) || !socket.Valid()) {
        return false;
    }
    // A socket file left by a copy that died: the lock is ours, so nobody listens on it.
    ::unlink(address.sun_path);
    // Only the user may connect: the socket file is made without any other access, and the
    // folder is the user's own besides.
    const mode_t mask = ::umask(077);
    const bool bound =
        ::bind(socket.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::umask(mask);
    if (!bound || ::listen(socket.Get(), SOMAXCONN) != 0) {
        if (bound) {
            ::unlink(address.sun_path);
        }
        return false;
    }
    listeningOn_ = path;
    listener_ = std::make_unique<SocketWatch>(std::move(socket));
    connect(&listener_->Readable(), &QSocketNotifier::activated, this, &SingleInstance::Accept);
    return true;
}

void SingleInstance::Accept() {
    for (;;) {
        UniqueFd socket(::accept4(listener_->Fd(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (!socket.Valid()) {
            return;
        }
        if (callers_.size() >= kMaxCallers) {
            continue;
        }
        const int fd = socket.Get();
        Caller& caller = callers_[fd];
        caller.socket = std::make_unique<SocketWatch>(std::move(socket));
        connect(&caller.socket->Readable(), &QSocketNotifier::activated, this,
                [this, fd] { Read(fd); });
        Read(fd);
    }
}

void SingleInstance::Read(int fd) {
    const auto found = callers_.find(fd);
    if (found == callers_.end()) {
        return;
    }
    Caller& caller = found->second;
    // Only the one short request is read; anything else is not ours.
    char bytes[kShowRequest.size()];
    const std::size_t wanted = kShowRequest.size() - caller.received.size();
    const ssize_t got = ::recv(fd, bytes, wanted, 0);
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
        return;
    }
    if (got <= 0) {
        Hang(fd);
        return;
    }
    caller.received.append(bytes, static_cast<std::size_t>(got));
    if (caller.received.size() < kShowRequest.size()) {
        if (kShowRequest.compare(0, caller.received.size(), caller.received) != 0) {
            Hang(fd);
        }
        return;
    }
    const bool asked = caller.received == kShowRequest;
    Hang(fd);
    if (asked) {
        emit showRequested();
    }
}

void SingleInstance::Hang(int fd) {
    const auto found = callers_.find(fd);
    if (found != callers_.end()) {
        retired_.Retire(std::move(found->second.socket));
        callers_.erase(found);
    }
}

bool SingleInstance::AskFirst() const {
    sockaddr_un address{};
    const bool addressable = SocketAddress(SocketPath(), address);
    QElapsedTimer asking;
    asking.start();
    do {
        if (addressable && AskOnce(address)) {
            return true;
        }
        QThread::msleep(100);
    } while (asking.elapsed() < kAskForMs);
    std::fprintf(stderr, "upszelto: another copy runs (%s) but does not answer on %s\n",
                 qPrintable(LockPath()), qPrintable(SocketPath()));
    return false;
}

}  // namespace zelto
