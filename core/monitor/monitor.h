#pragma once
// The poll cycle, the power state and the shutdown procedure: everything that happens once a
// second, driven by the front end's timer.

#include <cstdint>
#include <optional>
#include <string>

#include "core/base/error_reporter.h"
#include "core/base/product.h"
#include "core/base/program_state.h"
#include "core/base/settings.h"
#include "core/link/com_port.h"
#include "core/monitor/countdown.h"
#include "core/monitor/display.h"
#include "core/monitor/followed_ups.h"
#include "core/monitor/monitor_events.h"
#include "core/monitor/power_requests.h"
#include "core/monitor/secondaries.h"

namespace zelto {

class StatusRecord;

struct MonitorParts {
    ProgramState& state;
    ComPort& port;
    Display& display;
    Countdown& countdown;
    PowerRequests& power;
    ErrorReporter& errors;
    Settings& settings;
    // Machines following this UPS over the network; none when null.
    Secondaries* secondaries = nullptr;
    // Whoever keeps the program's past (journal, notifications, history); none when null.
    MonitorEvents* events = nullptr;
};

class Monitor {
public:
    explicit Monitor(const MonitorParts& parts);

    // One poll tick; errors end the tick and go to the reporter.
    void Timer1Timer();
    // One tick while a UPS another machine serves is followed instead of the serial port: its
    // readings shown and acted on as a status record's are, the UPS itself never commanded.
    void FollowTick(const FollowedUps& ups);
    // As soon as the followed UPS's server said so, between ticks too: the UPS calls for this
    // computer's shutdown (`forced`: its primary set FSD). The countdown opens now, so its first
    // second may be short: the primary is switching the UPS off and will not wait for it.
    void FollowCritical(bool forced);
    // The beeper picture was clicked.
    void Image5Click();
    // The shutdown procedure, once per outage: starts the countdown, which the ticks then
    // advance; at its end the UPS switch-off command and the power action follow.
    void RunShutdown(const std::string& caption = kModelCaption);
    // The countdown dialog's "Отмена" (CountdownCancelled) or "Выключить сейчас" (CountdownGo),
    // or the program ending under it (CountdownProgramEnding). Nothing while none shows.
    void CountdownAnswered(int result);

private:
    // ParseStatus: reads what waits and, when it is one status record, shows it and hands the
    // power state on.
    void ParseStatus();
    // Appends the waiting bytes to RxBuffer; true when it now holds one status record.
    bool ReadStatus();
    // Shows the readings in their fixed order; returns the battery voltage in tenths.
    int ShowRecord(const StatusRecord& record);
    void HandlePowerState(bool onBattery, int batteryTenths);
    // The power state with the charge already known (none: the UPS did not say).
    void ShowPowerState(bool onBattery, std::optional<int> charge);
    void ShowOnBattery(std::optional<int> charge);
    void ShowOnMains(std::optional<int> charge);
    // A followed UPS's answer: shown, told and acted on like a record from the port.
    void HandleFollowed(const FollowedUps& ups);
    void ShowTray(int picture, std::string tip);
    std::uint16_t CountdownLength();
    // One tick of a shutdown under way: a second off a countdown that was already showing when
    // the tick began, or a look at whether the secondaries are done.
    void AdvanceShutdown(bool countingBefore);
    void EndCountdown(int result);
    // After a go: the UPS command and the power action, once the secondaries are done.
    void FinishWhenSecondariesDone();
    void SwitchOff();

    MonitorParts parts_;
    NoMonitorEvents noEvents_;
    MonitorEvents& events_;
    // An oversized receive queue was reported and has not yet gone back to normal.
    bool oversizeReported_ = false;
    // The followed UPS called for the shutdown and has not stopped calling: one countdown for it,
    // so that cancelling that countdown keeps this computer up.
    bool criticalSeen_ = false;
};

}  // namespace zelto
