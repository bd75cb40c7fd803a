#pragma once
// One thing worth remembering that happened to the power, the UPS or the program, and the
// interface of everything that keeps or tells such things (the journal, the notifications, the
// front end's window).

#include <cstdint>
#include <optional>
#include <string>

namespace zelto {

// A point in time as the front end's clock gives it: the core never reads a clock itself.
struct Moment {
    std::int64_t unixSeconds = 0;       // seconds since 1970-01-01 00:00 UTC
    std::int32_t utcOffsetSeconds = 0;  // local time minus UTC at that moment
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual Moment Now() = 0;
};

// The readings of one status record that the past is told with; -1 where a field is not a number.
struct Readings {
    int mainsTenths = -1;  // mains voltage, tenths of a volt
    int outputTenths = -1;
    int batteryTenths = -1;
    int loadPercent = -1;
    int chargePercent = -1;  // the program's own estimate, as the window shows it
};

enum class EventKind {
    Start,
    Exit,
    MainsLost,
    MainsBack,
    LinkLost,  // no status record for more than 10 seconds
    LinkBack,
    BatteryLow,  // the UPS's own flag b6
    BatteryLowCleared,
    UpsFault,  // the UPS's own flag b4
    UpsFaultCleared,
    CountdownStarted,
    CountdownCancelled,
    CountdownFinished,  // the shutdown is committed
    SwitchOffSent,      // the UPS was told to switch its output off
    CancelSent,         // the UPS was told to forget a pending switch-off
    PowerRequested,
    PowerRefused,
    SettingChanged,
    ErrorShown,
    PortMissing,  // told instead of LinkLost when the chosen port is not there at all
    TrayMissing,  // the desktop has no tray for the icon: the window stays on the screen
};

struct Event {
    EventKind kind = EventKind::Start;
    Moment time;
    // The latest readings, for the events that concern the power.
    std::optional<Readings> readings;
    // What else the event says, as journal fields ("seconds=10", "by=mains"); may be empty.
    std::string detail;
};

class EventSink {
public:
    virtual ~EventSink() = default;
    virtual void OnEvent(const Event& event) = 0;
    // Once a tick, for whatever waits on time (held-back notifications).
    virtual void OnTime(Moment /*now*/) {}
    // A record's readings went into the history (the chart follows it).
    virtual void OnReading(Moment /*now*/) {}
};

}  // namespace zelto
