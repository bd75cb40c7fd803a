#pragma once
// The simulator's single-threaded loop: the line, stdin, the control FIFO, the scenario clock
// and the device's own timers, all waited for in one ppoll.

#include <signal.h>

#include <string>
#include <vector>

#include "command_log.h"
#include "pty_link.h"
#include "scenario.h"
#include "ups_device.h"

namespace upssim {

// Blocks SIGTERM, SIGINT and SIGHUP outside the wait and gives them a handler, so that they
// end the loop instead of the process (the link must be removed on the way out). Returns the
// signal mask to wait with.
sigset_t PrepareTerminationSignals();

class SimulatorLoop {
public:
    SimulatorLoop(const DeviceSettings& settings, const PtyLink& link, Scenario scenario,
                  CommandLog& log, int controlFd);

    // Runs until "quit" or a termination signal.
    void Run(const sigset_t& waitMask);

private:
    // Control lines arrive in pieces; this keeps the unfinished part of one source.
    struct LineSource {
        int fd = -1;
        std::string partial;
    };

    void Say(const std::string& line);
    void RunDueSteps(Clock::time_point now);
    void HandleControlLine(const std::string& line, Clock::time_point now);
    void ReadControl(LineSource& source, Clock::time_point now);
    void ReadLine(Clock::time_point now);
    // False when the host set the line to anything but 2400 8N1; each change is logged once.
    bool LineSuitsDevice();
    void WriteLine();
    Clock::time_point NextDeadline(Clock::time_point now) const;

    const PtyLink& link_;
    CommandLog& log_;
    UpsDevice device_;
    Scenario scenario_;
    std::size_t nextStep_ = 0;
    Clock::time_point start_;
    Clock::time_point nextHousekeeping_;
    Clock::time_point lineQuietUntil_;
    std::string lineSeen_;  // the line settings last reported
    std::string outgoing_;
    std::vector<LineSource> controls_;
    bool quit_ = false;
};

}  // namespace upssim
