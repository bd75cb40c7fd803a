#pragma once
// A scenario file: timed control commands, one a line, "SECONDS COMMAND" with the seconds
// counted from the simulator's start ("20 mains off", "25.5 battery 11.2"). Blank lines and
// lines starting with # are skipped.

#include <string>
#include <vector>

#include "control_command.h"

namespace upssim {

struct ScenarioStep {
    Clock::duration at;
    std::string line;  // the command as written, for the report
    ControlCommand command;
};

struct Scenario {
    std::vector<ScenarioStep> steps;  // in time order; steps at the same second keep file order
    std::string error;                // "FILE:LINE: why" for the first bad line
};

Scenario ParseScenario(const std::string& text, const std::string& fileName);
Scenario LoadScenario(const std::string& path);

}  // namespace upssim
