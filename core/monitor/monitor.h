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
    // The shutdown procedure, once per outage: countdown, then the UPS switch-off command and
    // the power action. Blocks in the countdown while later ticks run.
    void RunShutdown();

private:
    // ParseStatus: reads what waits and, when it is one status record, shows it and hands the
    // power state on.
    void ParseStatus();
    // Appends the waiting bytes to RxBuffer; true when it now holds one status record.
    bool ReadStatus();
    // Shows the readings in their fixed order; returns the battery voltage in tenths.
    int ShowRecord(const StatusRecord& record);
    // The power state for a handled record; `sequence` is its RecordSequence.
    void HandlePowerState(bool onBattery, int batteryTenths, std::uint64_t sequence);
    // False when a countdown let newer records be handled: their state stands.
    bool ShowOnBattery(int batteryTenths, std::uint64_t sequence);
    void ShowOnMains(int batteryTenths);
    void ShowTray(int picture, std::string tip);
    bool Superseded(std::uint64_t sequence) const;
    std::uint16_t CountdownLength();

    MonitorParts parts_;
    NoMonitorEvents noEvents_;
    MonitorEvents& events_;
    // Ticks started so far: a tick resumed after a countdown sees whether others ran meanwhile.
    std::uint64_t ticksStarted_ = 0;
    // An oversized receive queue was reported and has not yet gone back to normal.
    bool oversizeReported_ = false;
};

}  // namespace zelto
