#include "win32/recorded_power_requests.h"

#include "win32/power_calls.h"
#include "win32/system_message.h"
#include "win32/unique_handle.h"

namespace zelto {

std::optional<std::string> RecordedPowerRequests::Request(PowerAction action) {
    const PowerCall call = PowerCallFor(action);
    std::string line = DescribePowerCall(call);
    if (call.kind == PowerCall::ExitWindows) {
        const auto refused = EnableShutdownPrivilege();
        line += " privilege=" + refused.value_or("ok");
    }
    line += "\r\n";
    const KernelHandle log(CreateFileW(logPath_.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                       OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (log) {
        DWORD written = 0;
        WriteFile(log.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    }
    if (refusal_) {
        return SystemMessage(*refusal_);
    }
    return std::nullopt;
}

CapabilityAnswer RecordedPowerRequests::Capability(PowerAction action) {
    return SystemPowerCapability(action);
}

}  // namespace zelto
