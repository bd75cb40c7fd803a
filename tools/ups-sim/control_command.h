#pragma once
// The control language shared by stdin, the control FIFO and scenario files: one command a
// line, such as "mains off", "battery 11.2" or "garbage 30" (see HelpText in sim_options.cpp).

#include <optional>
#include <string>
#include <string_view>

#include "ups_device.h"

namespace upssim {

struct ControlCommand {
    enum class Kind {
        Nothing,  // blank line or # comment
        Mains,
        MainsVolts,
        Output,
        OutputVolts,
        Battery,
        Load,
        Temperature,
        Frequency,
        Flags,
        Drain,
        Silent,
        Fault,
        Clear,
        Quit,
    };
    Kind kind = Kind::Nothing;
    bool on = false;
    double number = 0.0;
    std::string text;
    Fault fault{FaultKind::Short, {}, 0, 1.5};
};

struct ParsedControl {
    std::optional<ControlCommand> command;
    std::string error;  // why the line was refused, when command is empty
};

ParsedControl ParseControl(std::string_view line);

// Carries the command out on the device. True when the simulator is to end.
bool ApplyControl(const ControlCommand& command, UpsDevice& device, Clock::time_point now);

}  // namespace upssim
