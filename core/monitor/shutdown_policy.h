#pragma once
// The three policy lists of the main window as the shutdown procedure reads them.

#include <cstdint>
#include <optional>
#include <string>

#include "core/base/settings.h"
#include "core/base/texts.h"
#include "core/monitor/power_requests.h"

namespace zelto {

// Whether the trigger entry acts on the first on-battery record ("при отказе сети").
bool TriggersOnMainsFailure(int triggerIndex);

// Whether the trigger entry can ever start a shutdown: every one but "никогда" and no selection.
bool TriggerCanAct(int triggerIndex);

// Whether a charge trigger (entries 1 to 5: 80, 50, 30, 20, 10 percent) is met. Entry 0, entry 6
// ("никогда") and no selection never are.
bool ChargeTriggerMet(int triggerIndex, int charge);

// The method list entry's power action: 0 power off, 1 hibernate, 2 stand-by; no selection or
// any other index asks for nothing.
std::optional<PowerAction> MethodAction(int methodIndex);

// The countdown length, "OFFAfter" (default 10), which must lie within 0-65535. Throws the
// conversion error or RangeCheckError.
std::uint16_t ReadCountdownSeconds(Settings& settings);

// The text reported when the system refuses a power action.
std::string PowerRefusedText(Language language, PowerAction action, const std::string& reason);

// What the user is told about a method the system would not carry out as things stand (what is
// wrong and what to do); nothing when it would.
std::optional<std::string> CapabilityWarning(Language language, PowerAction action,
                                             const CapabilityAnswer& answer);

}  // namespace zelto
