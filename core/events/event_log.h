#pragma once
// The program's past in one piece: the detector that finds the events, the journal that keeps
// them, the notifications that tell them and the 24-hour history of the readings. A front end
// owns one, hands its parts to the program and calls Exiting before it ends.
//
// It is also the program's error reporter: every box's text goes into the journal on its way to
// the screen.

#include <string>
#include <string_view>

#include "core/base/error_reporter.h"
#include "core/events/event.h"
#include "core/events/event_recorder.h"
#include "core/events/event_sinks.h"
#include "core/events/history.h"
#include "core/events/journal.h"
#include "core/events/notifications.h"
#include "core/monitor/monitor_events.h"

namespace zelto {

class EventLog final : public ErrorReporter {
public:
    // None is owned; all must outlive this. `boxes` shows the error texts, the journal's own
    // failure among them.
    EventLog(Clock& clock, JournalFile& file, Notifier& notifier, ErrorReporter& boxes);
    EventLog(const EventLog&) = delete;
    EventLog& operator=(const EventLog&) = delete;

    // What the monitor tells.
    MonitorEvents& Monitor() { return recorder_; }
    void Report(const std::string& text) override;

    void Started() { recorder_.Started(); }
    void Exiting() { recorder_.Exiting(); }
    void SettingChanged(std::string_view key, std::string_view value) {
        recorder_.SettingChanged(key, value);
    }
    // Whether the chosen port is missing, and its name in the list (empty while the chosen place
    // of the list has no device).
    void PortMissing(bool missing, std::string_view name) { recorder_.PortMissing(missing, name); }
    // The desktop has no tray for the icon, so the window stays on the screen: told once a run.
    void TrayMissing() { recorder_.TrayMissing(); }
    void SetNotifyEnabled(bool enabled) { notifications_.SetEnabled(enabled); }
    void SetLanguage(Language language) { notifications_.SetLanguage(language); }
    // A further listener, such as an open journal window; it must outlive this.
    void AddSink(EventSink& sink) { sinks_.Add(sink); }

    const Journal& JournalLines() const { return journal_; }
    const History& Readings() const { return history_; }

private:
    ErrorReporter& boxes_;
    History history_;
    Journal journal_;
    Notifications notifications_;
    EventSinks sinks_;
    EventRecorder recorder_;
};

}  // namespace zelto
