#pragma once
// The simulator's command line.

#include <optional>
#include <string>
#include <vector>

#include "ups_device.h"

namespace upssim {

struct SimOptions {
    std::string linkPath;
    std::string logPath;       // command log; none when empty
    std::string controlPath;   // control FIFO; none when empty
    std::string scenarioPath;  // scenario file; none when empty
    DeviceSettings device;
    bool help = false;
};

struct ParsedOptions {
    std::optional<SimOptions> options;
    std::string error;
};

ParsedOptions ParseOptions(const std::vector<std::string>& arguments);
std::string HelpText();

}  // namespace upssim
