#include "qt/qt_com_port.h"

#include <QtGlobal>
#ifdef Q_OS_UNIX
#include <poll.h>
#endif

#include <QByteArray>
#include <QMetaObject>
#include <QSocketNotifier>
#include <QString>

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

bool QtComPort::ComOpen(const std::string& path, int baud) {
    ComClose();
    CallScope scope(*this);
    ++generation_;
    if (path.empty()) {
        return false;
    }
    // The line settings go in before the open so that a port refusing them does not open.
    port_.setPortName(QString::fromStdString(path));
    port_.setBaudRate(baud);
    port_.setDataBits(QSerialPort::Data8);
    port_.setParity(QSerialPort::NoParity);
    port_.setStopBits(QSerialPort::OneStop);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    if (!port_.open(QIODevice::ReadWrite)) {
        port_.clearError();
        return false;
    }
    // A pseudo-terminal has no modem lines and refuses both calls ("Inappropriate ioctl for
    // device"); the data path works all the same, so the port stays open.
    port_.setDataTerminalReady(true);
    port_.setRequestToSend(false);
    port_.clearError();
    return true;
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
