#pragma once
// The poll cycle, the power state and the shutdown procedure: everything that happens once a
// second, driven by the front end's timer.

#include "app/error_reporter.h"
#include "app/program_state.h"
#include "app/settings.h"
#include "link/com_port.h"
#include "monitor/countdown.h"
#include "monitor/display.h"
#include "monitor/power_requests.h"

namespace zelto {

struct MonitorParts {
    ProgramState& state;
    ComPort& port;
    Display& display;
    Countdown& countdown;
    PowerRequests& power;
    ErrorReporter& errors;
    Settings& settings;
};

class Monitor {
public:
    explicit Monitor(const MonitorParts& parts);

    // One poll tick; errors end the tick and go to the reporter.
    void Timer1Timer();
    // The beeper picture was clicked.
    void Image5Click();

private:
    MonitorParts parts_;
};

}  // namespace zelto
