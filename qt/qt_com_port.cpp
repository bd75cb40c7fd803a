#include "qt/qt_com_port.h"

#include <QtGlobal>
#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

#include <algorithm>

#include <QByteArray>
#include <QMetaObject>
#include <QSocketNotifier>
#include <QString>

#include <cerrno>

namespace zelto {
namespace {

// Enough reads to take in everything a pseudo-terminal or UART can hold between two ticks; the
// bound keeps a device that never stops talking from holding the GUI thread.
constexpr int kMaxPollReads = 16;
constexpr std::size_t kReadChunk = 4096;

// QSerialPort reports a full output queue ("Resource temporarily unavailable") with the same
// ResourceError as a device that is gone; only the second leaves the line hung up.
bool LineHungUp(const QSerialPort& port) {
#ifdef Q_OS_UNIX
    pollfd line{static_cast<int>(port.handle()), POLLIN | POLLOUT, 0};
    return ::poll(&line, 1, 0) < 0 || (line.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
#else
    Q_UNUSED(port);
    return true;
#endif
}

// QSerialPort reports a device this user may not open with the same PermissionError as one that
// another program holds or has locked; only the first needs the user to act.
OpenResult PermissionResult(const std::string& path) {
#ifdef Q_OS_UNIX
    // The effective ids, as the open itself used them, and no open: opening a port another
    // program holds could disturb its line.
    if (::faccessat(AT_FDCWD, path.c_str(), R_OK | W_OK, AT_EACCESS) != 0 && errno == EACCES) {
        return OpenResult::PermissionDenied;
    }
    return OpenResult::Failed;
#else
    Q_UNUSED(path);
    return OpenResult::Failed;
#endif
}

}  // namespace

class QtComPort::CallScope {
public:
    explicit CallScope(QtComPort& owner) : owner_(owner) { ++owner_.callDepth_; }
    ~CallScope() {
        if (--owner_.callDepth_ == 0) {
            owner_.CloseIfLost();
        }
    }
    CallScope(const CallScope&) = delete;
    CallScope& operator=(const CallScope&) = delete;

private:
    QtComPort& owner_;
};

QtComPort::QtComPort() {
    QObject::connect(&port_, &QSerialPort::errorOccurred, &port_,
                     [this](QSerialPort::SerialPortError error) { OnError(error); });
}

QtComPort::~QtComPort() {
    QObject::disconnect(&port_, nullptr, nullptr, nullptr);
    ComClose();
}

OpenResult QtComPort::ComOpen(const std::string& path, int baud) {
    ComClose();
    CallScope scope(*this);
    ++generation_;
    if (path.empty()) {
        return OpenResult::Failed;
    }
    // The line settings go in before the open so that a port refusing them does not open.
    port_.setPortName(QString::fromStdString(path));
    port_.setBaudRate(baud);
    port_.setDataBits(QSerialPort::Data8);
    port_.setParity(QSerialPort::NoParity);
    port_.setStopBits(QSerialPort::OneStop);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    if (!port_.open(QIODevice::ReadWrite)) {
        const QSerialPort::SerialPortError error = port_.error();
        port_.clearError();
        if (error == QSerialPort::PermissionError) {
            return PermissionResult(path);
        }
        return error == QSerialPort::DeviceNotFoundError ? OpenResult::Missing : OpenResult::Failed;
    }
    // A pseudo-terminal has no modem lines and refuses both calls ("Inappropriate ioctl for
    // device"); the data path works all the same, so the port stays open.
    port_.setDataTerminalReady(true);
    port_.setRequestToSend(false);
    port_.clearError();
    SilenceReadNotifier();
    return OpenResult::Opened;
}

std::string QtComPort::AccessGroup(const std::string& path) const {
#ifdef Q_OS_UNIX
    // The device itself, through any link to it (a udev name, the simulator's link).
    struct stat device {};
    if (::stat(path.c_str(), &device) != 0) {
        return {};
    }
    // Joining the group only helps when the group may read and write the device, and joining
    // the superuser's group is no advice to give.
    if (device.st_gid == 0 || (device.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP)) {
        return {};
    }
    const group* owner = ::getgrgid(device.st_gid);
    return owner != nullptr && owner->gr_name != nullptr ? std::string(owner->gr_name)
                                                         : std::string();
#else
    Q_UNUSED(path);
    return {};
#endif
}

void QtComPort::ComClose() {
    lost_ = false;
    rx_.clear();
    if (port_.isOpen()) {
        port_.close();
    }
    port_.clearError();
}

bool QtComPort::IsOpen() const {
    return port_.isOpen();
}

std::size_t QtComPort::ComInputCount() {
    CallScope scope(*this);
    if (!port_.isOpen()) {
        return 0;
    }
    ReadDevice();
    if (lost_) {
        return 0;
    }
    return rx_.size();
}

std::string QtComPort::ComRead(std::size_t count) {
    CallScope scope(*this);
    if (!port_.isOpen() || count == 0) {
        return {};
    }
    if (rx_.size() < count) {
        ReadDevice();
    }
    const std::size_t taken = std::min(count, rx_.size());
    std::string data = rx_.substr(0, taken);
    rx_.erase(0, taken);
    return data;
}

std::size_t QtComPort::ComWrite(std::string_view bytes) {
    CallScope scope(*this);
    if (!port_.isOpen() || bytes.empty()) {
        return 0;
    }
    // Straight to the device when nothing waits before it, so that a query costs no turn of
    // the event loop; whatever the driver cannot take yet waits in QSerialPort's buffer, which
    // the event loop empties as the driver takes it.
    std::size_t sent = port_.bytesToWrite() == 0 ? WriteDevice(bytes) : 0;
    if (!lost_ && sent < bytes.size()) {
        const qint64 queued =
            port_.write(bytes.data() + sent, static_cast<qint64>(bytes.size() - sent));
        sent += queued > 0 ? static_cast<std::size_t>(queued) : 0;
    }
    return lost_ ? 0 : sent;
}

void QtComPort::ComPurgeInput() {
    CallScope scope(*this);
    if (!port_.isOpen()) {
        return;
    }
    // Empties the driver's queue and QSerialPort's own buffer as well as ours.
    rx_.clear();
    port_.clear(QSerialPort::Input);
}

void QtComPort::OnError(QSerialPort::SerialPortError error) {
    // When the far end of the line disappears the port stays open and reports these two errors
    // on every turn of the event loop; only closing it stops that.
    if (error != QSerialPort::ReadError && error != QSerialPort::ResourceError) {
        return;
    }
    if (!port_.isOpen() || lost_ || !LineHungUp(port_)) {
        return;
    }
    lost_ = true;
    if (callDepth_ > 0) {
        return;
    }
    // Reported from inside QSerialPort's own notifier, which must not be deleted under it.
    const std::uint64_t generation = generation_;
    QMetaObject::invokeMethod(
        &port_,
        [this, generation] {
            if (generation == generation_) {
                CloseIfLost();
            }
        },
        Qt::QueuedConnection);
}

void QtComPort::ReadDevice() {
    // Anything QSerialPort took in itself comes first.
    if (port_.bytesAvailable() > 0) {
        const QByteArray held = port_.readAll();
        rx_.append(held.constData(), static_cast<std::size_t>(held.size()));
        SilenceReadNotifier();
    }
#ifdef Q_OS_UNIX
    // Straight from the device, which QSerialPort opened non-blocking: no buffer of its own to
    // fill and no notifier to switch on and off for every answer.
    const int fd = static_cast<int>(port_.handle());
    char chunk[kReadChunk];
    bool gotAny = false;
    for (int i = 0; i < kMaxPollReads && port_.isOpen() && !lost_; ++i) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got > 0) {
            // A terminal hands over at most one line-discipline buffer a read, so a short read
            // does not mean the queue is empty: read on until the device says so.
            rx_.append(chunk, static_cast<std::size_t>(got));
            gotAny = true;
            continue;
        }
        if (got < 0 && errno == EINTR) {
            continue;
        }
        // A raw terminal answers an empty queue with 0 (no minimum count, no timeout), as it
        // answers a line that hung up: only a look at the line tells them apart, and after
        // data it is only the empty queue. Errors other than "nothing yet" may mean it is gone.
        const bool empty = got == 0 ? gotAny : (errno == EAGAIN || errno == EWOULDBLOCK);
        if (!empty && LineHungUp(port_)) {
            lost_ = true;
        }
        break;
    }
#endif
}

std::size_t QtComPort::WriteDevice(std::string_view bytes) {
#ifdef Q_OS_UNIX
    const int fd = static_cast<int>(port_.handle());
    ssize_t sent = 0;
    do {
        sent = ::write(fd, bytes.data(), bytes.size());
    } while (sent < 0 && errno == EINTR);
    if (sent >= 0) {
        return static_cast<std::size_t>(sent);
    }
    // A full output queue is no loss; a device that is gone is.
    if (errno != EAGAIN && errno != EWOULDBLOCK && LineHungUp(port_)) {
        lost_ = true;
    }
#else
    Q_UNUSED(bytes);
#endif
    return 0;
}

void QtComPort::SilenceReadNotifier() {
    // Nothing reads the port between two ticks: each tick reads the device itself. Left on,
    // QSerialPort's read notifier would wake the program for every answer only to buffer it,
    // which is most of what an idle monitor costs. QSerialPort turns it on when it opens the
    // port and whenever it reads, so it goes off again after either. A device that vanishes is
    // then noticed by the next call, at most one tick later.
    for (auto* notifier : port_.findChildren<QSocketNotifier*>()) {
        if (notifier->type() == QSocketNotifier::Read) {
            notifier->setEnabled(false);
        }
    }
}

void QtComPort::CloseIfLost() {
    if (!lost_) {
        return;
    }
    lost_ = false;
    if (port_.isOpen()) {
        port_.close();
    }
    port_.clearError();
}

}  // namespace zelto
