#pragma once
// Keeps the chosen port open: a USB adapter pulled and plugged back, a UPS switched off and on,
// or a port another program held for a while must not leave the machine unprotected until
// someone picks the port again. The port is reopened quietly every few ticks while it is closed.

#include <optional>
#include <string>

#include "core/link/com_port.h"

namespace zelto {

class PortKeeper {
public:
    // Ticks between two attempts to reopen a closed port.
    static constexpr int kReopenTicks = 3;

    // The port to keep open (empty: none), just opened or not.
    void Choose(const std::string& path) {
        if (path != path_) {
            deniedTold_ = false;
        }
        path_ = path;
        ticksClosed_ = 0;
    }

    // Called once a tick, before the port is read. The result of a reopen, when one was tried.
    std::optional<OpenResult> Tick(ComPort& port, int baud) {
        if (path_.empty() || port.IsOpen()) {
            ticksClosed_ = 0;
            return std::nullopt;
        }
        if (++ticksClosed_ < kReopenTicks) {
            return std::nullopt;
        }
        ticksClosed_ = 0;
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
