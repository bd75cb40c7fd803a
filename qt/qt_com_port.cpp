#include "qt/qt_com_port.h"

#include <QtGlobal>
#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

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
            owner_.SilenceReadNotifier();
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
        const bool permission = port_.error() == QSerialPort::PermissionError;
        port_.clearError();
        return permission ? PermissionResult(path) : OpenResult::Failed;
    }
    // A pseudo-terminal has no modem lines and refuses both calls ("Inappropriate ioctl for
    // device"); the data path works all the same, so the port stays open.
    port_.setDataTerminalReady(true);
    port_.setRequestToSend(false);
    port_.clearError();
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
    PollDevice();
    if (lost_) {
        return 0;
    }
    return static_cast<std::size_t>(port_.bytesAvailable());
}

std::string QtComPort::ComRead(std::size_t count) {
    CallScope scope(*this);
    if (!port_.isOpen() || count == 0) {
        return {};
    }
    if (static_cast<std::size_t>(port_.bytesAvailable()) < count) {
        PollDevice();
    }
    const QByteArray data = port_.read(static_cast<qint64>(count));
    return std::string(data.constData(), static_cast<std::size_t>(data.size()));
}

std::size_t QtComPort::ComWrite(std::string_view bytes) {
    CallScope scope(*this);
    if (!port_.isOpen() || bytes.empty()) {
        return 0;
    }
    const qint64 written = port_.write(bytes.data(), static_cast<qint64>(bytes.size()));
    if (written <= 0) {
        return 0;
    }
    // One non-blocking write to the device now; anything the driver cannot take yet goes out
    // from the event loop.
    port_.flush();
    return lost_ ? 0 : static_cast<std::size_t>(written);
}

void QtComPort::ComPurgeInput() {
    CallScope scope(*this);
    if (!port_.isOpen()) {
        return;
    }
    // Empties QSerialPort's own buffer as well as the driver's queue.
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

void QtComPort::PollDevice() {
    for (int i = 0; i < kMaxPollReads && port_.isOpen() && !lost_; ++i) {
        if (!port_.waitForReadyRead(0)) {
            break;
        }
    }
    port_.clearError();
}

void QtComPort::SilenceReadNotifier() {
    // Nothing reads the port between two ticks: each tick polls the device itself. Left on,
    // QSerialPort's read notifier would wake the program for every answer only to buffer it,
    // which is most of what an idle monitor costs. QSerialPort turns it back on whenever it
    // reads, so it goes off again at the end of each of our calls. A device that vanishes is
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
