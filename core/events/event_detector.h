#pragma once
// Turns the stream of ticks and the program's own actions into events: edges only, so a steady
// state never repeats itself. Pure: the time of every call is its argument.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/events/event.h"
#include "core/monitor/power_requests.h"

namespace zelto {

class StatusRecord;

// The link counts as lost once no record has arrived for longer than this.
inline constexpr std::int64_t kLinkLostAfterSeconds = 10;

class EventDetector {
public:
    explicit EventDetector(EventSink& sink) : sink_(sink) {}

    void Started(Moment now);
    void Exiting(Moment now);
    // A poll tick begins: tells the link lost when the last record is too old.
    void Tick(Moment now);
    // A record of the right length arrived.
    // `charge`: the UPS's own figure, when it reports one, in place of the estimate.
    void Record(Moment now, const StatusRecord& record, std::optional<int> charge = std::nullopt);
    void CountdownStarted(Moment now, std::uint16_t seconds);
    // `result` is a CountdownResult. A cancelled countdown was cancelled by mains when a record
    // with mains present arrived while it showed, otherwise by the user.
    void CountdownEnded(Moment now, int result);
    void SwitchOffSent(Moment now, int delayIndex);
    void CancelSent(Moment now);
    void PowerRequested(Moment now, PowerAction action);
    void PowerRefused(Moment now, PowerAction action, const std::string& reason);
    void SettingChanged(Moment now, std::string_view key, std::string_view value);
    void ErrorShown(Moment now, std::string_view text);
    void TrayMissing(Moment now);
    // Whether the chosen port is missing, and its name in the list (empty when the chosen place
    // of the list has no device yet). A link lost while it is missing is told as the port missing.
    void PortMissing(bool missing, std::string_view name) {
        portMissing_ = missing;
        missingPort_ = name;
    }

    // The readings of the latest record; nothing before the first.
    const std::optional<Readings>& Latest() const { return latest_; }

private:
    // A power event carries the latest readings; start, exit, settings and errors do not.
    void Emit(Moment now, EventKind kind, std::string detail = {}, bool withReadings = true);
    // Tells `raised` or `cleared` when the flag changed.
    void Edge(Moment now, bool& known, bool flag, EventKind raised, EventKind cleared);

    EventSink& sink_;
    std::optional<Readings> latest_;
    // When a record last arrived, or the first tick when none has yet.
    std::optional<std::int64_t> lastHeard_;
    bool linkLost_ = false;
    bool portMissing_ = false;
    std::string missingPort_;
    // The program starts assuming mains present and the UPS's flags clear.
    bool onBattery_ = false;
    bool batteryLow_ = false;
    bool upsFault_ = false;
    bool countdownShowing_ = false;
    bool mainsDuringCountdown_ = false;
};

// "poweroff", "hibernate", "suspend".
std::string_view PowerActionWord(PowerAction action);

}  // namespace zelto
