// The shutdown procedure: at most once per outage, a countdown that the ticks advance, the wait
// for the secondaries, then the UPS switch-off command and the power action.

#include <cstdint>

#include "core/base/errors.h"
#include "core/link/protocol.h"
#include "core/monitor/monitor.h"
#include "core/monitor/shutdown_policy.h"

namespace zelto {
void Monitor::RunShutdown(const std::string& caption) {
    ProgramState& state = parts_.state;
    if (!state.ShutdownArmed || state.ShutdownStep != ShutdownStage::Idle) {
        return;
    }
    state.ShutdownArmed = false;
    state.CountdownSeconds = CountdownLength();
    state.ShutdownStep = ShutdownStage::Counting;
    events_.CountdownStarted(state.CountdownSeconds);
    parts_.countdown.OpenCountdown(state.CountdownSeconds, caption);
}

void Monitor::CountdownAnswered(int result) {
    if (parts_.state.ShutdownStep == ShutdownStage::Counting) {
        RunGuarded(parts_.errors, [this, result] { EndCountdown(result); });
    }
}

void Monitor::AdvanceShutdown(bool countingBefore) {
    ProgramState& state = parts_.state;
    if (state.ShutdownStep == ShutdownStage::WaitingForSecondaries) {
        FinishWhenSecondariesDone();
    } else if (state.ShutdownStep == ShutdownStage::Counting && countingBefore) {
        const bool reachedZero = CountdownTick(state.CountdownSeconds);
        parts_.countdown.ShowCountdownSeconds(state.CountdownSeconds);
        if (reachedZero) {
            EndCountdown(CountdownGo);
        }
    }
}

void Monitor::EndCountdown(int result) {
    // Hidden last, however what comes first ends: hiding a window can take a window system
    // seconds (Wine without a window manager waits for one), and the UPS command must not wait
    // for that.
    struct HideAtEnd {
        Countdown& dialog;
        ~HideAtEnd() { dialog.CloseCountdown(); }
    } hide{parts_.countdown};
    ProgramState& state = parts_.state;
    state.ShutdownStep = ShutdownStage::Idle;
    events_.CountdownEnded(result);
    if (result == CountdownGo) {
        state.ShutdownStep = ShutdownStage::WaitingForSecondaries;
        if (parts_.secondaries) {
            parts_.secondaries->ShutdownCommitted();
        }
        FinishWhenSecondariesDone();
    }
}

void Monitor::FinishWhenSecondariesDone() {
    if (parts_.secondaries && parts_.secondaries->StillShuttingDown()) {
        return;
    }
    parts_.state.ShutdownStep = ShutdownStage::Idle;
    SwitchOff();
}

void Monitor::SwitchOff() {
    const ProgramState& state = parts_.state;
    // The UPS first: if the computer goes down, the UPS must already know to switch off.
    // A UPS another machine serves is that machine's to switch off.
    const bool upsTold = !state.FollowingNetworkUps && state.UpsOffIndex >= kFirstShutdownDelay &&
                         state.UpsOffIndex <= kLastShutdownDelay;
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
            parts_.errors.Report(PowerRefusedText(state.language, *action, *refusal));
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
