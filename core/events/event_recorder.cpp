#include "core/events/event_recorder.h"

namespace zelto {

template <class Call>
void EventRecorder::Quietly(Call&& call) {
    try {
        call(clock_.Now());
    } catch (...) {
        // Nothing here may end a tick: a lost line of the past is the lesser harm.
    }
}

void EventRecorder::TickStarted() {
    Quietly([&](Moment now) {
        detector_.Tick(now);
        sink_.OnTime(now);
    });
}

void EventRecorder::RecordReceived(const StatusRecord& record, std::optional<int> charge) {
    Quietly([&](Moment now) {
        detector_.Record(now, record, charge);
        history_.Add(now.unixSeconds, *detector_.Latest());
        sink_.OnReading(now);
    });
}

void EventRecorder::CountdownStarted(std::uint16_t seconds) {
    Quietly([&](Moment now) { detector_.CountdownStarted(now, seconds); });
}

void EventRecorder::CountdownEnded(int result) {
    Quietly([&](Moment now) { detector_.CountdownEnded(now, result); });
}

void EventRecorder::SwitchOffSent(int delayIndex) {
    Quietly([&](Moment now) { detector_.SwitchOffSent(now, delayIndex); });
}

void EventRecorder::CancelSent() {
    Quietly([&](Moment now) { detector_.CancelSent(now); });
}

void EventRecorder::PowerRequested(PowerAction action) {
    Quietly([&](Moment now) { detector_.PowerRequested(now, action); });
}

void EventRecorder::PowerRefused(PowerAction action, const std::string& reason) {
    Quietly([&](Moment now) { detector_.PowerRefused(now, action, reason); });
}

void EventRecorder::Started() {
    Quietly([&](Moment now) { detector_.Started(now); });
}

void EventRecorder::Exiting() {
    Quietly([&](Moment now) { detector_.Exiting(now); });
}

void EventRecorder::SettingChanged(std::string_view key, std::string_view value) {
    Quietly([&](Moment now) { detector_.SettingChanged(now, key, value); });
}

void EventRecorder::TrayMissing() {
    Quietly([&](Moment now) { detector_.TrayMissing(now); });
}

void EventRecorder::ErrorShown(std::string_view text) {
    Quietly([&](Moment now) { detector_.ErrorShown(now, text); });
}

}  // namespace zelto
