#pragma once
// The serial link over QSerialPort, used from the GUI thread without ever blocking it.

#include <QSerialPort>

#include <cstdint>
#include <string>
#include <string_view>

#include "core/link/com_port.h"

namespace zelto {

class QtComPort : public ComPort {
public:
    QtComPort();
    ~QtComPort() override;
    QtComPort(const QtComPort&) = delete;
    QtComPort& operator=(const QtComPort&) = delete;

    // A PermissionError from QSerialPort is PermissionDenied only when this user may not open
    // the device; a port held or locked by another program is Failed.
    OpenResult ComOpen(const std::string& path, int baud) override;
    void ComClose() override;
    bool IsOpen() const override;
    std::size_t ComInputCount() override;
    std::string ComRead(std::size_t count) override;
    std::size_t ComWrite(std::string_view bytes) override;
    void ComPurgeInput() override;
    // The group that owns the device, when members of it may read and write it.
    std::string AccessGroup(const std::string& path) const override;

private:
    // Marks the span of one of our own calls: a lost device noticed inside it is closed when the
    // call ends, one noticed from the event loop is closed by a queued call.
    class CallScope;

    void OnError(QSerialPort::SerialPortError error);
    // Moves whatever the device holds into rx_ without waiting; notes a line that is gone.
    void ReadDevice();
    // One non-blocking write to the device: the bytes it took, none when it is gone or full.
    std::size_t WriteDevice(std::string_view bytes);
    void CloseIfLost();
    void SilenceReadNotifier();

    QSerialPort port_;
    std::string rx_;  // read from the device, not yet taken
    int callDepth_ = 0;
    bool lost_ = false;
    // Counts opens, so a queued close meant for an earlier connection leaves a newer one alone.
    std::uint64_t generation_ = 0;
};

}  // namespace zelto
