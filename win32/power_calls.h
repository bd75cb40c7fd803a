#pragma once
// What each power action asks of Windows, as data: the real requests make these calls, the
// recorder of the test build writes them down.

#include "win32/windows_api.h"

#include <optional>
#include <string>

#include "core/monitor/power_requests.h"

namespace zelto {

struct PowerCall {
    enum Kind { ExitWindows, Suspend } kind;
    UINT exitFlags = 0;     // ExitWindowsEx: what to do
    DWORD exitReason = 0;   // ExitWindowsEx: why, for the system's event log
    BOOLEAN hibernate = 0;  // SetSuspendState: hibernate (TRUE) or stand-by (FALSE)
};

// Power-off ends the session, forcing only programs that hang, and records a planned shutdown
// for a power failure; hibernate and stand-by go through SetSuspendState without forcing.
PowerCall PowerCallFor(PowerAction action);

// The call as one line of text, e.g. "ExitWindowsEx(0x00000018, 0x8006000c)".
std::string DescribePowerCall(const PowerCall& call);

// What the machine's power capabilities say about the action: hibernation needs S4 and a
// hibernation file, stand-by needs S3; power-off is always there. Only asks, never acts.
CapabilityAnswer SystemPowerCapability(PowerAction action);

// Enables SeShutdownPrivilege in the process token, which ExitWindowsEx needs on NT. Nothing when
// it is enabled, otherwise the system's reason. Touches only this process's token.
std::optional<std::string> EnableShutdownPrivilege();

}  // namespace zelto
