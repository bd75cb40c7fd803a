// The tick of a UPS followed over the network: the program has read the server's answer; it is
// shown, told and acted on here as a record from the serial port is.

#include <algorithm>

#include "core/base/errors.h"
#include "core/link/protocol.h"
#include "core/monitor/monitor.h"
#include "core/monitor/pictures.h"

namespace zelto {

void Monitor::FollowTick(const FollowedUps& ups) {
    events_.TickStarted();
    ProgramState& state = parts_.state;
    const bool countingBefore = state.ShutdownStep == ShutdownStage::Counting;
    RunGuarded(parts_.errors, [&] {
        parts_.display.ShowLinkState(state.LinkOk);
        if (parts_.secondaries) {
            parts_.secondaries->TickStarted(ups.answering);
        }
        state.LinkOk = ups.answering && IsStatusRecord(ups.record);
        if (state.LinkOk) {
            HandleFollowed(ups);
        }
        // Also while the server is silent: one last seen on battery that stops answering is
        // taken for the primary going down with the UPS.
        if (ups.critical) {
            FollowCritical(ups.forcedShutdown);
        } else {
            criticalSeen_ = false;
        }
    });
    RunGuarded(parts_.errors, [this, countingBefore] { AdvanceShutdown(countingBefore); });
}

void Monitor::FollowCritical(bool forced) {
    if (criticalSeen_) {
        return;
    }
    criticalSeen_ = true;
    // Even after a countdown for the mains failure was cancelled: this is a new reason.
    parts_.state.ShutdownArmed = true;
    // With FSD set the UPS's power goes whatever is decided here: the countdown says so, and
    // cancelling it keeps this computer up knowingly.
    const std::string caption =
        forced ? std::string(Text(parts_.state.language, TextId::PrimarySwitchingUpsOff))
               : std::string(kModelCaption);
    RunGuarded(parts_.errors, [&] { RunShutdown(caption); });
}

void Monitor::HandleFollowed(const FollowedUps& ups) {
    ProgramState& state = parts_.state;
    const StatusRecord record(ups.record);
    events_.RecordReceived(record, ups.charge);
    Display& display = parts_.display;
    for (std::size_t i = 0; i < ups.readings.size(); ++i) {
        display.ShowReading(static_cast<Reading>(i), ups.readings[i].value_or(kMissingReading));
    }
    display.ShowLoadBar(std::clamp(ups.loadPercent.value_or(0), 0, 100));
    if (ups.beeperOff) {
        display.ShowBeeperPicture(*ups.beeperOff ? kPictureBeeperOff : kPictureBeeperOn);
    }
    if (parts_.secondaries) {
        // A server without battery.voltage leaves the field blank: not an error to report.
        int tenths = 0;
        try {
            tenths = record.BatteryTenths();
        } catch (const Error&) {
        }
        parts_.secondaries->RecordHandled(record, tenths, state);
    }
    ++state.RecordsHandled;
    // A critical UPS's countdown is not for mains coming back to cancel: the primary may set FSD
    // while on mains, and it switches the UPS off all the same.
    if (ups.critical && state.ShutdownStep == ShutdownStage::Counting) {
        return;
    }
    ShowPowerState(ups.onBattery, ups.charge);
}

}  // namespace zelto
