// The shutdown procedure: at most once per outage, a countdown, then the UPS switch-off command
// and the power action.

#include <cstdint>

#include "core/base/errors.h"
#include "core/link/protocol.h"
#include "core/monitor/monitor.h"
#include "core/monitor/shutdown_policy.h"

namespace zelto {
void Monitor::RunShutdown() {
    ProgramState& state = parts_.state;
    // Cleared before the countdown starts, so the ticks that run inside it turn away.
    if (!state.ShutdownArmed) {
        return;
    }
    state.ShutdownArmed = false;
    state.CountdownSeconds = CountdownLength();
    events_.CountdownStarted(state.CountdownSeconds);
    const int result = parts_.countdown.Run(state.CountdownSeconds);
    events_.CountdownEnded(result);
    if (result != CountdownGo) {
        return;
    }
    if (parts_.secondaries) {
        parts_.secondaries->ShutdownCommitted();
    }
    // The UPS first: if the computer goes down, the UPS must already know to switch off.
    const bool upsTold =
        state.UpsOffIndex >= kFirstShutdownDelay && state.UpsOffIndex <= kLastShutdownDelay;
    if (upsTold) {
        parts_.port.ComWrite(SwitchOffCommand(state.UpsOffIndex));
        events_.SwitchOffSent(state.UpsOffIndex);
    }
    if (const auto action = MethodAction(state.MethodIndex)) {
        events_.PowerRequested(*action);
        if (const auto refusal = parts_.power.Request(*action)) {
            events_.PowerRefused(*action, *refusal);
            // The computer keeps running: the UPS must not cut its power after all.
            if (upsTold) {
                parts_.port.ComWrite(kCancelShutdown);
                events_.CancelSent();
            }
            parts_.errors.Report(PowerRefusedText(*action, *refusal));
        }
    }
}

std::uint16_t Monitor::CountdownLength() {
    // A bad value must not cost the outage its shutdown: say what is wrong, without blocking,
    // and count down from the default.
    try {
        return ReadCountdownSeconds(parts_.settings);
    } catch (const Error& e) {
        parts_.errors.Report(e.what());
    }
    return kDefaultCountdownSeconds;
}

}  // namespace zelto
