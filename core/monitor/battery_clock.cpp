#include "core/monitor/battery_clock.h"

namespace zelto {
namespace {

std::string TwoDigits(std::uint32_t value) {
    std::string text = std::to_string(value);
    return value < 10 ? "0" + text : text;
}

}  // namespace

void AdvanceBatteryClock(ProgramState& state) {
    ++state.OnBatterySeconds;
    if (state.OnBatterySeconds >= 60) {
        state.OnBatterySeconds = 0;
        ++state.OnBatteryMinutes;
    }
}

void ResetBatteryClock(ProgramState& state) {
    state.OnBatterySeconds = 0;
    state.OnBatteryMinutes = 0;
}

std::string BatteryClockText(std::uint32_t minutes, std::uint8_t seconds) {
    return TwoDigits(minutes) + ":" + TwoDigits(seconds);
}

}  // namespace zelto
