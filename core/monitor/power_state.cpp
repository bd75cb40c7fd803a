// The power state of each handled record: charge, shutdown trigger, tray, on-battery clock.

#include <string>

#include "core/monitor/battery_clock.h"
#include "core/monitor/charge.h"
#include "core/monitor/monitor.h"
#include "core/monitor/pictures.h"
#include "core/monitor/shutdown_policy.h"
#include "core/monitor/tray_tip.h"

namespace zelto {

void Monitor::HandlePowerState(bool onBattery, int batteryTenths, std::uint64_t sequence) {
    if (onBattery) {
        if (!ShowOnBattery(batteryTenths, sequence)) {
            return;
        }
    } else {
        ShowOnMains(batteryTenths);
    }
    const int charge = parts_.state.BatteryCharge;
    parts_.display.ShowBatteryPicture(ChargeLevelPicture(charge));
    parts_.display.ShowCharge(std::to_string(charge) + " %");
}

bool Monitor::ShowOnBattery(int batteryTenths, std::uint64_t sequence) {
    ProgramState& state = parts_.state;
    if (TriggersOnMainsFailure(state.TriggerIndex)) {
        RunShutdown();
        if (Superseded(sequence)) {
            return false;
        }
    }
    const std::uint8_t charge = ChargeEstimate(batteryTenths, kChargeBaseOnBattery);
    if (ChargeTriggerMet(state.TriggerIndex, charge)) {
        RunShutdown();
        if (Superseded(sequence)) {
            return false;
        }
    }
    state.BatteryCharge = charge;
    ShowTray(ChargeLevelPicture(charge), TrayTipText(true, charge));
    parts_.display.ShowClockVisible(true);
    AdvanceBatteryClock(state);
    parts_.display.ShowClock(BatteryClockText(state.OnBatteryMinutes, state.OnBatterySeconds));
    return true;
}

void Monitor::ShowOnMains(int batteryTenths) {
    ProgramState& state = parts_.state;
    state.ShutdownArmed = true;
    parts_.countdown.Cancel();
    state.BatteryCharge = ChargeEstimate(batteryTenths, kChargeBaseOnMains);
    ShowTray(kPictureBatteryOnMains, TrayTipText(false, state.BatteryCharge));
    ResetBatteryClock(state);
    parts_.display.ShowClockVisible(false);
}

void Monitor::ShowTray(int picture, std::string tip) {
    parts_.state.TrayTip = std::move(tip);
    parts_.display.ShowTray(picture, parts_.state.TrayTip);
}

bool Monitor::Superseded(std::uint64_t sequence) const {
    // Records handled by ticks that ran inside the countdown are newer than this one, and what
    // they showed is the truth: an older on-battery record must not paint over mains present.
    return parts_.state.RecordSequence != sequence;
}

}  // namespace zelto
