#ifdef _WIN32

#include "win32/windows_power_requests.h"

#include <windows.h>
// After windows.h, which it needs.
#include <powrprof.h>

#include <string>

namespace zelto {
namespace {

constexpr UINT kShutdownRebootPowerOff = EWX_SHUTDOWN | EWX_REBOOT | EWX_POWEROFF;  // 0x0B

bool IsNtFamily() {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof(version);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    const bool known = GetVersionExA(&version) != FALSE;
#pragma GCC diagnostic pop
    return known && version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

// Owns the process token while the privilege is adjusted.
class TokenHandle {
public:
    TokenHandle() {
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &handle_)) {
            handle_ = nullptr;
        }
    }
    ~TokenHandle() {
        if (handle_ != nullptr) {
            CloseHandle(handle_);
        }
    }
    TokenHandle(const TokenHandle&) = delete;
    TokenHandle& operator=(const TokenHandle&) = delete;

    HANDLE get() const { return handle_; }

private:
    HANDLE handle_ = nullptr;
};

}  // namespace

bool ExitWindowsPrivileged(unsigned int flags) {
    if (IsNtFamily() && (flags & kShutdownRebootPowerOff) != 0) {
        const TokenHandle token;
        LUID shutdownPrivilege{};
        const bool found =
            LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &shutdownPrivilege);
        // Without the token or the privilege's id, try anyway: the system may not need it.
        if (token.get() != nullptr && found) {
            TOKEN_PRIVILEGES privileges{};
            privileges.PrivilegeCount = 1;
            privileges.Privileges[0].Luid = shutdownPrivilege;
            privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
            if (!AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr)) {
                return false;
            }
        }
    }
    // No force flag: applications may still be asked to end the session.
    return ExitWindowsEx(flags, 0) != FALSE;
}

std::optional<std::string> WindowsPowerRequests::Request(PowerAction action) {
    switch (action) {
        case PowerAction::PowerOff:
            ExitWindowsPrivileged(EWX_POWEROFF);
            break;
        case PowerAction::Hibernate:
            SetSuspendState(TRUE, FALSE, FALSE);
            break;
        case PowerAction::Suspend:
            SetSuspendState(FALSE, FALSE, FALSE);
            break;
    }
    return std::nullopt;
}

CapabilityAnswer WindowsPowerRequests::Capability(PowerAction action) {
    if (action == PowerAction::PowerOff) {
        return CapabilityAnswer{PowerCapability::Yes, {}};
    }
    SYSTEM_POWER_CAPABILITIES capabilities{};
    if (!GetPwrCapabilities(&capabilities)) {
        return CapabilityAnswer{PowerCapability::Unknown,
                                "GetPwrCapabilities: error " + std::to_string(GetLastError())};
    }
    const bool available = action == PowerAction::Hibernate
                               ? capabilities.SystemS4 && capabilities.HiberFilePresent
                               : capabilities.SystemS3 != FALSE;
    return CapabilityAnswer{available ? PowerCapability::Yes : PowerCapability::NotAvailable, {}};
}

}  // namespace zelto

#endif  // _WIN32
