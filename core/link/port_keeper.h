#pragma once
// Keeps the chosen port open: a USB adapter pulled and plugged back, a UPS switched off and on,
// a port another program held for a while, or an adapter the system enumerated late must not
// leave the machine unprotected until someone picks the port again. While the port is closed,
// every few ticks are a turn to look for it again.

#include <string>

#include "core/link/com_port.h"

namespace zelto {

class PortKeeper {
public:
    // Ticks between two looks for a closed port.
    static constexpr int kReopenTicks = 3;

    // The port to keep open; empty while the chosen one is not known by its path yet (a place in
    // the list that no device fills), which is looked for all the same.
    void Choose(const std::string& path) {
        if (path != path_) {
            deniedTold_ = false;
        }
        path_ = path;
        ticksClosed_ = 0;
    }

    // Called once a tick, before the port is read: whether this tick looks for the port again.
    // Never while a port is open, so a working link costs nothing.
    bool Due(const ComPort& port) {
        if (port.IsOpen()) {
            ticksClosed_ = 0;
            return false;
        }
        if (++ticksClosed_ < kReopenTicks) {
            return false;
        }
        ticksClosed_ = 0;
        return true;
    }

    // Opens the kept port again.
    OpenResult Reopen(ComPort& port, int baud) {
        const OpenResult result = port.ComOpen(path_, baud);
        if (result == OpenResult::Opened) {
            port.ComPurgeInput();
        }
        return result;
    }

    // Whether an open of the kept port that ended this way is news for the user: a refusal for
    // lack of permission is, once per chosen port; the retries that follow stay quiet.
    bool TellUser(OpenResult result) {
        if (result != OpenResult::PermissionDenied || deniedTold_) {
            return false;
        }
        deniedTold_ = true;
        return true;
    }

    const std::string& Path() const { return path_; }

private:
    std::string path_;
    int ticksClosed_ = 0;
    bool deniedTold_ = false;
};

}  // namespace zelto
