#pragma once
// The on-battery clock: how long the current outage has lasted, one second per on-battery record.

#include <cstdint>
#include <string>

#include "core/base/program_state.h"

namespace zelto {

// One second more; sixty seconds carry into the minutes, which do not wrap.
void AdvanceBatteryClock(ProgramState& state);
void ResetBatteryClock(ProgramState& state);
// Minutes and seconds with at least two digits each: "00:07", "12:00", "256:00".
std::string BatteryClockText(std::uint32_t minutes, std::uint8_t seconds);

}  // namespace zelto
