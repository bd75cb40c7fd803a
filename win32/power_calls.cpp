#include "win32/power_calls.h"

#include "win32/windows_api.h"
// After windows.h, which it needs.
#include <powrprof.h>

#include <cstdio>

#include "win32/system_message.h"
#include "win32/unique_handle.h"

namespace zelto {

PowerCall PowerCallFor(PowerAction action) {
    switch (action) {
        case PowerAction::PowerOff:
            return PowerCall{PowerCall::ExitWindows, EWX_POWEROFF | EWX_FORCEIFHUNG,
                             SHTDN_REASON_MAJOR_POWER | SHTDN_REASON_MINOR_ENVIRONMENT |
                                 SHTDN_REASON_FLAG_PLANNED,
                             FALSE};
        case PowerAction::Hibernate:
            return PowerCall{PowerCall::Suspend, 0, 0, TRUE};
        case PowerAction::Suspend:
            break;
    }
    return PowerCall{PowerCall::Suspend, 0, 0, FALSE};
}

std::string DescribePowerCall(const PowerCall& call) {
    char text[80];
    if (call.kind == PowerCall::ExitWindows) {
        std::snprintf(text, sizeof text, "ExitWindowsEx(0x%08lx, 0x%08lx)",
                      static_cast<unsigned long>(call.exitFlags),
                      static_cast<unsigned long>(call.exitReason));
    } else {
        std::snprintf(text, sizeof text, "SetSuspendState(%s, FALSE, FALSE)",
                      call.hibernate ? "TRUE" : "FALSE");
    }
    return text;
}

CapabilityAnswer SystemPowerCapability(PowerAction action) {
    if (action == PowerAction::PowerOff) {
        return CapabilityAnswer{PowerCapability::Yes, {}};
    }
    SYSTEM_POWER_CAPABILITIES capabilities{};
    if (!GetPwrCapabilities(&capabilities)) {
        return CapabilityAnswer{PowerCapability::Unknown,
                                "GetPwrCapabilities: " + SystemMessage(GetLastError())};
    }
    const bool available = action == PowerAction::Hibernate
                               ? capabilities.SystemS4 && capabilities.HiberFilePresent
                               : capabilities.SystemS3 != FALSE;
    return CapabilityAnswer{available ? PowerCapability::Yes : PowerCapability::NotAvailable, {}};
}

std::optional<std::string> EnableShutdownPrivilege() {
    HANDLE opened = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &opened)) {
        return SystemMessage(GetLastError());
    }
    const KernelHandle token(opened);
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &privileges.Privileges[0].Luid)) {
        return SystemMessage(GetLastError());
    }
    // Succeeds also when the privilege is not held; GetLastError then tells.
    if (!AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr)) {
        return SystemMessage(GetLastError());
    }
    const DWORD result = GetLastError();
    if (result != ERROR_SUCCESS) {
        return SystemMessage(result);
    }
    return std::nullopt;
}

}  // namespace zelto
