#pragma once
// One serial port, never blocking. Implemented per platform (Qt's serial port first).

#include <cstddef>
#include <string>
#include <string_view>

namespace zelto {

class ComPort {
public:
    virtual ~ComPort() = default;
    // Opens the device at 2400 (or the given) baud, 8N1, DTR raised, RTS low, no flow control.
    // Any port open before is closed first. False when the port is missing, busy or refuses the
    // line settings; the port is then closed.
    virtual bool ComOpen(const std::string& path, int baud) = 0;
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
};

}  // namespace zelto
