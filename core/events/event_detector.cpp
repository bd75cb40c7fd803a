#include "core/events/event_detector.h"

#include <string>

#include "core/events/journal_line.h"
#include "core/events/readings.h"
#include "core/link/protocol.h"
#include "core/monitor/countdown.h"

namespace zelto {

std::string_view PowerActionWord(PowerAction action) {
    switch (action) {
        case PowerAction::PowerOff:
            return "poweroff";
        case PowerAction::Hibernate:
            return "hibernate";
        case PowerAction::Suspend:
            return "suspend";
    }
    return "?";
}

void EventDetector::Started(Moment now) {
    lastHeard_ = now.unixSeconds;
    Emit(now, EventKind::Start, {}, false);
}

void EventDetector::Exiting(Moment now) {
    Emit(now, EventKind::Exit, {}, false);
}

void EventDetector::Tick(Moment now) {
    // A clock set back must not hold the link up until it has caught up again.
    if (!lastHeard_ || now.unixSeconds < *lastHeard_) {
        lastHeard_ = now.unixSeconds;
    }
    if (!linkLost_ && now.unixSeconds - *lastHeard_ > kLinkLostAfterSeconds) {
        linkLost_ = true;
        if (portMissing_) {
            Emit(now, EventKind::PortMissing,
                 missingPort_.empty() ? std::string() : Field("port", missingPort_));
        } else {
            Emit(now, EventKind::LinkLost);
        }
    }
}

void EventDetector::Record(Moment now, const StatusRecord& record, std::optional<int> charge) {
    lastHeard_ = now.unixSeconds;
    latest_ = ReadingsOf(record);
    if (charge) {
        latest_->chargePercent = *charge;
    }
    if (linkLost_) {
        linkLost_ = false;
        Emit(now, EventKind::LinkBack);
    }
    Edge(now, onBattery_, record.OnBattery(), EventKind::MainsLost, EventKind::MainsBack);
    if (countdownShowing_ && !record.OnBattery()) {
        mainsDuringCountdown_ = true;
    }
    Edge(now, batteryLow_, record.BatteryLow(), EventKind::BatteryLow,
         EventKind::BatteryLowCleared);
    Edge(now, upsFault_, record.UpsFault(), EventKind::UpsFault, EventKind::UpsFaultCleared);
}

void EventDetector::CountdownStarted(Moment now, std::uint16_t seconds) {
    countdownShowing_ = true;
    mainsDuringCountdown_ = false;
    Emit(now, EventKind::CountdownStarted, Field("seconds", std::to_string(seconds)));
}

void EventDetector::CountdownEnded(Moment now, int result) {
    countdownShowing_ = false;
    if (result == CountdownGo) {
        Emit(now, EventKind::CountdownFinished);
        return;
    }
    const char* by = result == CountdownProgramEnding ? "exit"
                     : mainsDuringCountdown_          ? "mains"
                                                      : "user";
    Emit(now, EventKind::CountdownCancelled, Field("by", by));
}

void EventDetector::SwitchOffSent(Moment now, int delayIndex) {
    // List entries 1-10 are as many minutes.
    Emit(now, EventKind::SwitchOffSent, Field("minutes", std::to_string(delayIndex)));
}

void EventDetector::CancelSent(Moment now) {
    Emit(now, EventKind::CancelSent);
}

void EventDetector::PowerRequested(Moment now, PowerAction action) {
    Emit(now, EventKind::PowerRequested, Field("action", PowerActionWord(action)));
}

void EventDetector::PowerRefused(Moment now, PowerAction action, const std::string& reason) {
    Emit(now, EventKind::PowerRefused,
         Field("action", PowerActionWord(action)) + " " + Field("reason", reason));
}

void EventDetector::SettingChanged(Moment now, std::string_view key, std::string_view value) {
    Emit(now, EventKind::SettingChanged, Field(key, value), false);
}

void EventDetector::ErrorShown(Moment now, std::string_view text) {
    Emit(now, EventKind::ErrorShown, Field("text", text), false);
}

void EventDetector::TrayMissing(Moment now) {
    Emit(now, EventKind::TrayMissing, {}, false);
}

void EventDetector::Emit(Moment now, EventKind kind, std::string detail, bool withReadings) {
    Event event;
    event.kind = kind;
    event.time = now;
    if (withReadings) {
        event.readings = latest_;
    }
    event.detail = std::move(detail);
    sink_.OnEvent(event);
}

void EventDetector::Edge(Moment now, bool& known, bool flag, EventKind raised, EventKind cleared) {
    if (flag != known) {
        known = flag;
        Emit(now, flag ? raised : cleared);
    }
}

}  // namespace zelto
