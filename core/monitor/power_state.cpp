// The power state of each handled record: charge, shutdown trigger, tray, on-battery clock.

#include <string>

#include "core/monitor/battery_clock.h"
#include "core/monitor/charge.h"
#include "core/monitor/monitor.h"
#include "core/monitor/pictures.h"
#include "core/monitor/shutdown_policy.h"
#include "core/monitor/tray_tip.h"

namespace zelto {

void Monitor::HandlePowerState(bool onBattery, int batteryTenths) {
    if (onBattery) {
        ShowOnBattery(batteryTenths);
    } else {
        ShowOnMains(batteryTenths);
    }
    const int charge = parts_.state.BatteryCharge;
    parts_.display.ShowBatteryPicture(ChargeLevelPicture(charge));
    parts_.display.ShowCharge(std::to_string(charge) + " %");
}

void Monitor::ShowOnBattery(int batteryTenths) {
    ProgramState& state = parts_.state;
    const std::uint8_t charge = ChargeEstimate(batteryTenths, kChargeBaseOnBattery);
    if (TriggersOnMainsFailure(state.TriggerIndex) ||
        ChargeTriggerMet(state.TriggerIndex, charge)) {
        RunShutdown();
    }
    state.BatteryCharge = charge;
    ShowTray(ChargeLevelPicture(charge), TrayTipText(true, charge));
    parts_.display.ShowClockVisible(true);
    AdvanceBatteryClock(state);
    parts_.display.ShowClock(BatteryClockText(state.OnBatteryMinutes, state.OnBatterySeconds));
}

void Monitor::ShowOnMains(int batteryTenths) {
    ProgramState& state = parts_.state;
    state.ShutdownArmed = true;
    // A committed shutdown goes on: the secondaries have been sent down already.
    if (state.ShutdownStep == ShutdownStage::Counting) {
        EndCountdown(CountdownCancelled);
    }
    state.BatteryCharge = ChargeEstimate(batteryTenths, kChargeBaseOnMains);
    ShowTray(kPictureBatteryOnMains, TrayTipText(false, state.BatteryCharge));
    ResetBatteryClock(state);
    parts_.display.ShowClockVisible(false);
}

void Monitor::ShowTray(int picture, std::string tip) {
    parts_.state.TrayTip = std::move(tip);
    parts_.display.ShowTray(picture, parts_.state.TrayTip);
}

}  // namespace zelto
