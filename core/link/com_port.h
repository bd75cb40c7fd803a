#pragma once
// One serial port, never blocking. Implemented per platform (Qt's serial port first).

#include <cstddef>
#include <string>
#include <string_view>

namespace zelto {

// How an open ended. Only a lack of permission is worth a box: a missing or busy port is the
// everyday state of an unplugged adapter or a UPS switched off, and is retried quietly. A missing
// one is still shown in the tray, since the machine is unprotected until it comes.
enum class OpenResult {
    Opened,
    Failed,            // busy, or refusing the line settings
    Missing,           // no such device (an adapter unplugged or not yet enumerated)
    PermissionDenied,  // the system does not let this user open the device
};

class ComPort {
public:
    virtual ~ComPort() = default;
    // Opens the device at 2400 (or the given) baud, 8N1, DTR raised, RTS low, no flow control.
    // Any port open before is closed first. When it does not open, the port is left closed.
    virtual OpenResult ComOpen(const std::string& path, int baud) = 0;
    virtual void ComClose() = 0;
    virtual bool IsOpen() const = 0;
    // Bytes waiting in the receive queue; 0 when no port is open.
    virtual std::size_t ComInputCount() = 0;
    // Reads up to count waiting bytes; empty when nothing could be read.
    virtual std::string ComRead(std::size_t count) = 0;
    // Writes the whole string; the bytes written, 0 when no port is open or the write failed.
    virtual std::size_t ComWrite(std::string_view bytes) = 0;
    // Discards received bytes; the transmit side is untouched.
    virtual void ComPurgeInput() = 0;
    // The group whose members may open the device, for telling a user without permission what
    // to ask for; empty where the system has no such group or it cannot be found.
    virtual std::string AccessGroup(const std::string& path) const {
        static_cast<void>(path);
        return {};
    }
};

}  // namespace zelto
