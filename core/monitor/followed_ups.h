#pragma once
// What one tick learnt of a UPS that another machine serves over the network, in the terms the
// poll cycle acts on. The program makes it from the server's variables; the monitor shows it and
// acts on it as it does on a status record from the serial port.

#include <array>
#include <optional>
#include <string>

#include "core/monitor/display.h"

namespace zelto {

struct FollowedUps {
    // The server answered this tick's poll: the port list's colour.
    bool answering = false;
    // The answer in the form of the UPS's own status record (a field the server lacks is blank),
    // which the journal, the history and this program's own NUT server take as they take the
    // serial port's.
    std::string record;
    // Each window reading by `Reading`, with its unit, already safe to show; nothing for a
    // variable the server does not have.
    std::array<std::optional<std::string>, 7> readings;
    std::optional<int> loadPercent;
    // battery.charge, as the UPS itself reports it; the charge triggers wait while it is missing.
    std::optional<int> charge;
    std::optional<bool> beeperOff;
    bool onBattery = false;
    bool batteryLow = false;
    // The primary set FSD: it is about to switch the UPS off.
    bool forcedShutdown = false;
    // The UPS calls for this computer's shutdown whatever the trigger list says: FSD, on battery
    // and low without FSD following in time, or a server last seen on battery gone silent.
    bool critical = false;
};

}  // namespace zelto
