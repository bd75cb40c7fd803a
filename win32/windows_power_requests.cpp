#include "win32/windows_power_requests.h"

#include "win32/windows_api.h"
// After windows.h, which it needs.
#include <powrprof.h>

#include "win32/power_calls.h"
#include "win32/system_message.h"

namespace zelto {

std::optional<std::string> WindowsPowerRequests::Request(PowerAction action) {
    const PowerCall call = PowerCallFor(action);
    if (call.kind == PowerCall::ExitWindows) {
        // A privilege that cannot be enabled is only a warning: ExitWindowsEx says whether the
        // system needs it.
        EnableShutdownPrivilege();
        if (!ExitWindowsEx(call.exitFlags, call.exitReason)) {
            return SystemMessage(GetLastError());
        }
        return std::nullopt;
    }
    if (!SetSuspendState(call.hibernate, FALSE, FALSE)) {
        return SystemMessage(GetLastError());
    }
    return std::nullopt;
}

CapabilityAnswer WindowsPowerRequests::Capability(PowerAction action) {
    return SystemPowerCapability(action);
}

}  // namespace zelto
