#pragma once
// Power requests on Windows: ending the session with power-off, and hibernate or stand-by.
// Built only for Windows.

#ifdef _WIN32

#include <optional>
#include <string>

#include "core/monitor/power_requests.h"

namespace zelto {

// Enables the shutdown privilege where the system needs it, then ExitWindowsEx(flags, 0).
// False when the privilege could not be enabled or the system refused.
bool ExitWindowsPrivileged(unsigned int flags);

class WindowsPowerRequests : public PowerRequests {
public:
    // Always nothing: the power actions are fire-and-forget, as the user cannot be told
    // anything useful while the machine is going down.
    std::optional<std::string> Request(PowerAction action) override;
    // From the machine's power capabilities: hibernation needs S4 and a hibernation file,
    // stand-by needs S3; power-off is always there.
    CapabilityAnswer Capability(PowerAction action) override;
};

}  // namespace zelto

#endif  // _WIN32
