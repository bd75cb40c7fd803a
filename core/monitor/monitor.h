#pragma once
// The poll cycle, the power state and the shutdown procedure: everything that happens once a
// second, driven by the front end's timer.

#include <cstdint>
#include <string>

#include "core/base/error_reporter.h"
#include "core/base/program_state.h"
#include "core/base/settings.h"
#include "core/link/com_port.h"
#include "core/monitor/countdown.h"
#include "core/monitor/display.h"
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
    // The beeper picture was clicked.
    void Image5Click();
    // The shutdown procedure, once per outage: starts the countdown, which the ticks then
    // advance; at its end the UPS switch-off command and the power action follow.
    void RunShutdown();
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
    void ShowOnBattery(int batteryTenths);
    void ShowOnMains(int batteryTenths);
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
};

}  // namespace zelto
