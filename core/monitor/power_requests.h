#pragma once
// Power requests to the operating system.

#include <optional>
#include <string>

namespace zelto {

enum class PowerAction { PowerOff, Hibernate, Suspend };

// Whether the system would carry an action out if asked now.
enum class PowerCapability {
    Yes,
    Challenge,     // only after someone enters a password, which nobody may be there to do
    No,            // not for this user
    NotAvailable,  // not on this machine, or not set up (hibernation without room to resume)
    Unknown,       // the system could not be asked
};

struct CapabilityAnswer {
    PowerCapability capability = PowerCapability::Unknown;
    std::string reason;  // with Unknown: why the system could not be asked
};

class PowerRequests {
public:
    virtual ~PowerRequests() = default;
    // Nothing when the system accepted the request, otherwise the system's reason for refusing.
    virtual std::optional<std::string> Request(PowerAction action) = 0;
    // Asks, without acting, whether the request would be carried out; as bounded in time as a
    // request.
    virtual CapabilityAnswer Capability(PowerAction action) = 0;
};

}  // namespace zelto
