#include "core/monitor/monitor.h"

#include "core/link/protocol.h"

namespace zelto {

Monitor::Monitor(const MonitorParts& parts)
    : parts_(parts), events_(parts.events ? *parts.events : noEvents_) {}

void Monitor::Image5Click() {
    // No answer is read: a later status record shows the beeper's new state. A closed port
    // swallows the command.
    // A UPS another machine serves is not this program's to command.
    if (!parts_.state.FollowingNetworkUps) {
        RunGuarded(parts_.errors, [this] { parts_.port.ComWrite(kBeeperToggle); });
    }
}

}  // namespace zelto
