#pragma once
// The program's memory of events, wired to the monitor: reads the front end's clock, lets the
// detector find the edges, hands the events to the sinks and each record to the history. No call
// throws.
//
// The monitor calls it through MonitorEvents; the program calls the rest itself.

#include <string>
#include <string_view>

#include "core/events/event.h"
#include "core/events/event_detector.h"
#include "core/events/history.h"
#include "core/monitor/monitor_events.h"

namespace zelto {

class EventRecorder final : public MonitorEvents {
public:
    // None is owned; all must outlive this.
    EventRecorder(Clock& clock, EventSink& sink, History& history)
        : clock_(clock), sink_(sink), history_(history), detector_(sink) {}

    void TickStarted() override;
    void RecordReceived(const StatusRecord& record, std::optional<int> charge) override;
    void CountdownStarted(std::uint16_t seconds) override;
    void CountdownEnded(int result) override;
    void SwitchOffSent(int delayIndex) override;
    void CancelSent() override;
    void PowerRequested(PowerAction action) override;
    void PowerRefused(PowerAction action, const std::string& reason) override;

    void Started();
    void Exiting();
    void SettingChanged(std::string_view key, std::string_view value);
    // An error box's text, as the reporter was given it.
    void ErrorShown(std::string_view text);
    void PortMissing(bool missing, std::string_view name) { detector_.PortMissing(missing, name); }
    void TrayMissing();

private:
    template <class Call>
    void Quietly(Call&& call);

    Clock& clock_;
    EventSink& sink_;
    History& history_;
    EventDetector detector_;
};

}  // namespace zelto
