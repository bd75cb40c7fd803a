#pragma once
// Power requests to the operating system.

#include <optional>
#include <string>

namespace zelto {

enum class PowerAction { PowerOff, Hibernate, Suspend };

class PowerRequests {
public:
    virtual ~PowerRequests() = default;
    // Nothing when the system accepted the request, otherwise the system's reason for refusing.
    virtual std::optional<std::string> Request(PowerAction action) = 0;
};

}  // namespace zelto
