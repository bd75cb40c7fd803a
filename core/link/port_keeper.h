#pragma once
// Keeps the chosen port open: a USB adapter pulled and plugged back, a UPS switched off and on,
// or a port another program held for a while must not leave the machine unprotected until
// someone picks the port again. The port is reopened quietly every few ticks while it is closed.

#include <string>

#include "core/link/com_port.h"

namespace zelto {

class PortKeeper {
public:
    // Ticks between two attempts to reopen a closed port.
    static constexpr int kReopenTicks = 3;

    // The user chose this port (empty: none) and it has just been opened, or failed to open.
    void Choose(const std::string& path) {
        path_ = path;
        ticksClosed_ = 0;
    }

    // Called once a tick, before the port is read.
    void Tick(ComPort& port, int baud) {
        if (path_.empty() || port.IsOpen()) {
            ticksClosed_ = 0;
            return;
        }
        if (++ticksClosed_ < kReopenTicks) {
            return;
        }
        ticksClosed_ = 0;
        if (port.ComOpen(path_, baud)) {
            port.ComPurgeInput();
        }
    }

    const std::string& Path() const { return path_; }

private:
    std::string path_;
    int ticksClosed_ = 0;
};

}  // namespace zelto
