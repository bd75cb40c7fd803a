// The power state of each handled record: charge, shutdown trigger, tray, on-battery clock.

#include <algorithm>
#include <string>

#include "core/monitor/battery_clock.h"
#include "core/monitor/charge.h"
#include "core/monitor/monitor.h"
#include "core/monitor/pictures.h"
#include "core/monitor/shutdown_policy.h"
#include "core/monitor/tray_tip.h"

namespace zelto {

void Monitor::HandlePowerState(bool onBattery, int batteryTenths) {
    ShowPowerState(onBattery, ChargeEstimate(batteryTenths, onBattery ? kChargeBaseOnBattery
                                                                      : kChargeBaseOnMains));
}

void Monitor::ShowPowerState(bool onBattery, std::optional<int> charge) {
    if (onBattery) {
        ShowOnBattery(charge);
    } else {
        ShowOnMains(charge);
    }
    if (!charge) {
        parts_.display.ShowCharge(kMissingReading);
        return;
    }
    const int shown = parts_.state.BatteryCharge;
    parts_.display.ShowBatteryPicture(ChargeLevelPicture(shown));
    parts_.display.ShowCharge(std::to_string(shown) + " %");
}

void Monitor::ShowOnBattery(std::optional<int> charge) {
    ProgramState& state = parts_.state;
    // An unknown charge meets no charge trigger: the UPS has not said how low it is.
    if (TriggersOnMainsFailure(state.TriggerIndex) ||
        (charge && ChargeTriggerMet(state.TriggerIndex, *charge))) {
        RunShutdown();
    }
    if (charge) {
        state.BatteryCharge = static_cast<std::uint8_t>(std::clamp(*charge, 0, 100));
    }
    ShowTray(ChargeLevelPicture(state.BatteryCharge),
             TrayTipText(state.language, true, state.BatteryCharge));
    parts_.display.ShowClockVisible(true);
    AdvanceBatteryClock(state);
    parts_.display.ShowClock(BatteryClockText(state.OnBatteryMinutes, state.OnBatterySeconds));
}

void Monitor::ShowOnMains(std::optional<int> charge) {
    ProgramState& state = parts_.state;
    state.ShutdownArmed = true;
    // A committed shutdown goes on: the secondaries have been sent down already.
    if (state.ShutdownStep == ShutdownStage::Counting) {
        EndCountdown(CountdownCancelled);
    }
    if (charge) {
        state.BatteryCharge = static_cast<std::uint8_t>(std::clamp(*charge, 0, 100));
    }
    ShowTray(kPictureBatteryOnMains, TrayTipText(state.language, false, state.BatteryCharge));
    ResetBatteryClock(state);
    parts_.display.ShowClockVisible(false);
}

void Monitor::ShowTray(int picture, std::string tip) {
    parts_.state.TrayTip = std::move(tip);
    parts_.display.ShowTray(picture, parts_.state.TrayTip);
}

}  // namespace zelto
