#pragma once
// Power requests to Windows itself: ends the session and powers off, hibernates or stands by.
// Only the program proper holds one; its test build records the requests instead.

#include <optional>
#include <string>

#include "core/monitor/power_requests.h"

namespace zelto {

class WindowsPowerRequests : public PowerRequests {
public:
    // Nothing when Windows accepted the request, otherwise its reason in its own words.
    std::optional<std::string> Request(PowerAction action) override;
    // From the machine's power capabilities: hibernation needs S4 and a hibernation file,
    // stand-by needs S3; power-off is always there.
    CapabilityAnswer Capability(PowerAction action) override;
};

}  // namespace zelto
