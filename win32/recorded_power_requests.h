#pragma once
// The test build's power requests: each request is written to a log file as the call the program
// proper would make, and nothing is asked of the system beyond the shutdown privilege of this
// process's own token and the machine's power capabilities. A test can make every request refused
// with a given system error.

#include "win32/windows_api.h"

#include <optional>
#include <string>

#include "core/monitor/power_requests.h"

namespace zelto {

class RecordedPowerRequests : public PowerRequests {
public:
    RecordedPowerRequests(std::wstring logPath, std::optional<DWORD> refusal)
        : logPath_(std::move(logPath)), refusal_(refusal) {}

    // Appends "<call> privilege=<ok|reason>" and a line end to the log; refused with the
    // system's text for the refusal's error code when one is set.
    std::optional<std::string> Request(PowerAction action) override;
    // The machine's own answer: asking is harmless.
    CapabilityAnswer Capability(PowerAction action) override;

private:
    std::wstring logPath_;
    std::optional<DWORD> refusal_;
};

}  // namespace zelto
