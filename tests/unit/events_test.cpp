// Events from ticks and the program's actions, the notifications they give, and the recorder
// that wires them to the monitor.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/base/errors.h"
#include "core/events/event_detector.h"
#include "core/events/event_recorder.h"
#include "core/events/event_sinks.h"
#include "core/events/journal_line.h"
#include "core/events/notifications.h"
#include "core/link/protocol.h"
#include "core/monitor/countdown.h"
#include "tests/support/core_fakes.h"
#include "tests/support/event_fakes.h"
#include "tests/support/status_records.h"

namespace zelto {
namespace {

using fakes::BuildRecord;
using fakes::RecordFields;

// Keeps the events; TakeWords gives each as its word and detail, joined by " | ".
class WordSink : public EventSink {
public:
    std::vector<Event> events;
    void OnEvent(const Event& event) override { events.push_back(event); }
    std::string TakeWords() {
        std::string text;
        for (const Event& e : events) {
            text += (text.empty() ? "" : " | ") + std::string(EventWord(e.kind)) +
                    (e.detail.empty() ? "" : " " + e.detail);
        }
        events.clear();
        return text;
    }
};

StatusRecord WithFlags(const std::string& flags) {
    RecordFields f;
    f.flags = flags;
    return StatusRecord(BuildRecord(f));
}

using Action = std::function<void(EventDetector&, Moment)>;
const Action kStart = [](EventDetector& d, Moment now) { d.Started(now); };
const Action kTick = [](EventDetector& d, Moment now) { d.Tick(now); };
// A record with flags b7..b0 (b7 mains failure, b6 battery low, b4 UPS fault).
Action Rec(const std::string& flags) {
    return [flags](EventDetector& d, Moment now) { d.Record(now, WithFlags(flags)); };
}
Action Countdown(std::uint16_t seconds) {
    return [seconds](EventDetector& d, Moment now) { d.CountdownStarted(now, seconds); };
}
Action End(int result) {
    return [result](EventDetector& d, Moment now) { d.CountdownEnded(now, result); };
}
Action Missing(bool missing, const char* name) {
    return [missing, name](EventDetector& d, Moment) { d.PortMissing(missing, name); };
}

struct Step {
    std::int64_t time;
    Action action;
    std::string expected;
};
struct DetectorCase {
    const char* name;
    std::vector<Step> steps;
};
class DetectorTable : public ::testing::TestWithParam<DetectorCase> {};

TEST_P(DetectorTable, ReportsEdgesOnly) {
    WordSink sink;
    EventDetector detector(sink);
    for (const Step& step : GetParam().steps) {
        step.action(detector, Moment{step.time, 0});
        EXPECT_EQ(sink.TakeWords(), step.expected) << "at " << step.time;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Streams, DetectorTable,
    ::testing::Values(
        DetectorCase{"MainsAndFlags",
                     {{0, kStart, "start"},
                      {1, Rec("10001001"), "mains-lost"},  // started on battery
                      {2, Rec("10001001"), ""},
                      {3, Rec("00001001"), "mains-back"},
                      {4, Rec("01011001"), "battery-low | ups-fault"},
                      {5, Rec("01011001"), ""},
                      {6, Rec("11001001"), "mains-lost | ups-fault-cleared"},
                      {7, Rec("00001001"), "mains-back | battery-low-cleared"},
                      {8, Rec("00101111"), ""}}},  // flags b5 and b3-b0 are no events
        // Lost only after more than 10 seconds without a record, and told once.
        DetectorCase{"LinkLostAndBack",
                     {{0, kStart, "start"},
                      {1, Rec("00001001"), ""},
                      {11, kTick, ""},
                      {12, kTick, "link-lost"},
                      {40, kTick, ""},
                      {41, Rec("10001001"), "link-back | mains-lost"},
                      {42, kTick, ""}}},
        DetectorCase{"NoRecordSinceStart",
                     {{100, kStart, "start"}, {110, kTick, ""}, {111, kTick, "link-lost"}}},
        // A port that is not there is told, instead of the link, once the link counts as lost;
        // a place of the list with no device has no name to tell.
        DetectorCase{"PortMissingSinceStart",
                     {{100, kStart, "start"},
                      {100, Missing(true, "ttyUSB0"), ""},
                      {110, kTick, ""},
                      {111, kTick, "port-missing port=ttyUSB0"},
                      {112, Missing(false, ""), ""},
                      {113, Rec("00001001"), "link-back"}}},
        DetectorCase{
            "PortMissingWithoutAName",
            {{0, kStart, "start"}, {0, Missing(true, ""), ""}, {11, kTick, "port-missing"}}},
        // Found again before the link counts as lost: nothing to tell.
        DetectorCase{"PortFoundInTime",
                     {{0, kStart, "start"},
                      {0, Missing(true, "COM3"), ""},
                      {5, Missing(false, ""), ""},
                      {11, kTick, "link-lost"}}},
        // A clock set back by a minute must not hold the link up for a minute more.
        DetectorCase{"ClockSetBack",
                     {{100, Rec("00001001"), ""},
                      {40, kTick, ""},
                      {50, kTick, ""},
                      {51, kTick, "link-lost"}}},
        DetectorCase{"CancelledByMainsThenByUser",
                     {{1, Rec("10001001"), "mains-lost"},
                      {1, Countdown(10), "countdown-started seconds=10"},
                      {3, Rec("00001001"), "mains-back"},
                      {3, End(CountdownCancelled), "countdown-cancelled by=mains"},
                      // Mains back during the earlier countdown say nothing about this one.
                      {9, Rec("10001001"), "mains-lost"},
                      {9, Countdown(30), "countdown-started seconds=30"},
                      {10, Rec("10001001"), ""},
                      {12, End(CountdownCancelled), "countdown-cancelled by=user"},
                      {13, Countdown(5), "countdown-started seconds=5"},
                      {14, End(CountdownProgramEnding), "countdown-cancelled by=exit"}}}),
    [](const ::testing::TestParamInfo<DetectorCase>& info) { return info.param.name; });

TEST(EventDetector, ActionsAndTheirDetails) {
    WordSink sink;
    EventDetector d(sink);
    const Moment now{1, 0};
    d.CountdownEnded(now, CountdownGo);
    d.SwitchOffSent(now, 3);
    d.PowerRequested(now, PowerAction::Hibernate);
    d.PowerRefused(now, PowerAction::PowerOff, "Verb \"poweroff\" not allowed");
    d.CancelSent(now);
    d.PowerRequested(now, PowerAction::Suspend);
    d.SettingChanged(now, "OffMethod", "1");
    d.SettingChanged(now, "Ports", "");
    d.ErrorShown(now, "Unable to write\nto C:\\x\x7F");
    d.TrayMissing(now);
    d.Exiting(now);
    EXPECT_EQ(
        sink.TakeWords(),
        "countdown-finished | ups-switch-off-sent minutes=3 | power-request action=hibernate"
        R"( | power-refused action=poweroff reason="Verb \"poweroff\" not allowed")"
        " | ups-cancel-sent | power-request action=suspend | setting-changed OffMethod=1 | "
        "setting-changed Ports=\"\" | error text=\"Unable to write to C:\\\\x \" | tray-missing | "
        "exit");
}

TEST(EventDetector, PowerEventsCarryTheLatestReadings) {
    WordSink sink;
    EventDetector detector(sink);
    RecordFields f{"000.0", "000.0", "220.5", "042", "50.0", "11.0", "35.0", "10001001"};
    detector.Record(Moment{5, 0}, StatusRecord(BuildRecord(f)));
    detector.SettingChanged(Moment{6, 0}, "CompOff", "2");
    detector.CountdownStarted(Moment{7, 10800}, 10);
    f = {"2x8.0", "228.0", "228.0", "abc", "50.0", "1?.6", "35.0", "00001001"};
    detector.Record(Moment{8, 0}, StatusRecord(BuildRecord(f)));
    ASSERT_EQ(sink.events.size(), 4u);
    // On battery the charge counts from 10.0 V: 10 tenths x 7.7 is 77 %.
    EXPECT_EQ(JournalLine(sink.events[0]),
              "1970-01-01T00:00:05+00:00 mains-lost mains=0.0V battery=11.0V charge=77% load=42%");
    EXPECT_EQ(JournalLine(sink.events[1]), "1970-01-01T00:00:06+00:00 setting-changed CompOff=2");
    EXPECT_EQ(JournalLine(sink.events[2]),
              "1970-01-01T03:00:07+03:00 countdown-started mains=0.0V battery=11.0V charge=77% "
              "load=42% seconds=10");
    // Fields that are not numbers are unknown, never an error.
    EXPECT_EQ(JournalLine(sink.events[3]),
              "1970-01-01T00:00:08+00:00 mains-back mains=? battery=? charge=? load=?");
}

// Notifications ------------------------------------------------------------------------------

Event At(std::int64_t time, EventKind kind, int charge = -1) {
    Event event{kind, Moment{time, 0}, std::nullopt, ""};
    if (charge >= 0) {
        event.readings = Readings{-1, -1, -1, -1, charge};
    }
    return event;
}

TEST(NotificationFor, TextsOfTheKindsThatNotify) {
    const struct {
        Event event;
        const char* expected;  // "" for no notification
        Language language = Language::Russian;
    } cases[] = {
        {At(0, EventKind::MainsLost, 84), "Сеть пропала / Питание от UPS. Заряд батареи: 84%"},
        {At(0, EventKind::MainsLost), "Сеть пропала / Питание от UPS"},
        {At(0, EventKind::MainsBack, 100),
         "Сеть восстановлена / Питание от сети. Заряд батареи: 100%"},
        {At(0, EventKind::LinkLost), "Нет связи с UPS / UPS не отвечает больше 10 секунд"},
        {At(0, EventKind::LinkBack), "Связь с UPS восстановлена / UPS снова отвечает"},
        {At(0, EventKind::PortMissing),
         "Порт UPS не найден / Компьютер не защищён, пока порт UPS не появится в системе"},
        {At(0, EventKind::TrayMissing),
         "Окно UPS Zelto остаётся на экране / На этом рабочем столе нет области уведомлений для "
         "значка. Закрытое окно сворачивается; завершает программу кнопка «Выход»"},
        {At(0, EventKind::BatteryLow), "Батарея разряжена / UPS сообщает о низком заряде батареи"},
        {At(0, EventKind::UpsFault), "Неисправность UPS / UPS сообщает о неисправности"},
        {At(0, EventKind::CountdownFinished),
         "Завершение работы / Отсчёт окончен: компьютер выключается"},
        {At(0, EventKind::BatteryLowCleared), ""},
        {At(0, EventKind::CountdownStarted), ""},
        {At(0, EventKind::PowerRefused), ""},
        {At(0, EventKind::ErrorShown), ""},
        {At(0, EventKind::MainsLost, 84), "Mains power lost / On UPS battery. Battery charge: 84%",
         Language::English},
        {At(0, EventKind::MainsBack), "Mains power is back / On mains power", Language::English},
        {At(0, EventKind::PortMissing),
         "UPS port not found / The computer is not protected until the UPS port appears",
         Language::English},
        {At(0, EventKind::CountdownStarted), "", Language::English},
    };
    for (const auto& c : cases) {
        const auto n = NotificationFor(c.language, c.event);
        EXPECT_EQ(n ? n->title + " / " + n->body : "", c.expected) << EventWord(c.event.kind);
    }
}

struct NotifyStep {
    std::int64_t time;
    std::optional<EventKind> kind;  // nothing: only time passes
    std::string shown;
};
struct NotifyCase {
    const char* name;
    std::vector<NotifyStep> steps;
};
class NotificationTable : public ::testing::TestWithParam<NotifyCase> {};

TEST_P(NotificationTable, AtMostOnePerKindAMinute) {
    fakes::FakeNotifier notifier;
    Notifications notifications(notifier);
    for (const NotifyStep& step : GetParam().steps) {
        if (step.kind) {
            notifications.OnEvent(At(step.time, *step.kind));
        } else {
            notifications.OnTime(Moment{step.time, 0});
        }
        EXPECT_EQ(notifier.titles, step.shown) << "at " << step.time;
        notifier.titles.clear();
    }
}

const std::optional<EventKind> kTime;
const auto kLost = EventKind::MainsLost;
const auto kBack = EventKind::MainsBack;

INSTANTIATE_TEST_SUITE_P(
    Sequences, NotificationTable,
    ::testing::Values(
        NotifyCase{"SameKindAMinuteApart",
                   {{0, EventKind::UpsFault, "Неисправность UPS"},
                    {1, EventKind::LinkLost, "Нет связи с UPS"},  // other kinds are not held
                    {59, EventKind::UpsFault, ""},
                    {60, kTime, ""},
                    {60, EventKind::UpsFault, "Неисправность UPS"},
                    {30, EventKind::UpsFault, "Неисправность UPS"}}},  // a clock set back
        // Flapping that ends on battery: the last word on the screen must be "lost".
        NotifyCase{"FlappingEndsOnBattery",
                   {{0, kLost, "Сеть пропала"},
                    {5, kBack, "Сеть восстановлена"},
                    {10, kLost, ""},
                    {15, kBack, ""},
                    {20, kLost, ""},
                    {59, kTime, ""},
                    {60, kTime, "Сеть пропала"},
                    {120, kTime, ""}}},
        // Flapping that ends on mains: the screen already says so.
        NotifyCase{"FlappingEndsOnMains",
                   {{0, kLost, "Сеть пропала"},
                    {5, kBack, "Сеть восстановлена"},
                    {10, kLost, ""},
                    {15, kBack, ""},
                    {60, kTime, ""},
                    {65, kTime, ""}}},
        // A held-back "back" waits for its own minute, not for that of "lost".
        NotifyCase{"HeldBackWaitsForItsOwnKind",
                   {{0, kBack, "Сеть восстановлена"},
                    {30, kLost, "Сеть пропала"},
                    {40, kBack, ""},
                    {59, kTime, ""},
                    {60, kTime, "Сеть восстановлена"}}}),
    [](const ::testing::TestParamInfo<NotifyCase>& info) { return info.param.name; });

TEST(Notifications, OffShowsNothingAndForgetsWhatWasHeld) {
    fakes::FakeNotifier notifier;
    Notifications notifications(notifier);
    for (const auto& event : {At(0, kBack), At(1, kLost), At(2, kBack)}) {
        notifications.OnEvent(event);
    }
    notifications.SetEnabled(false);
    notifications.OnEvent(At(100, EventKind::UpsFault));
    notifications.OnTime(Moment{200, 0});
    notifications.SetEnabled(true);
    notifications.OnTime(Moment{300, 0});
    EXPECT_EQ(notifier.titles, "Сеть восстановлена | Сеть пропала");
}

TEST(Notifications, NotifyKeyIsOnUnlessZero) {
    fakes::FakeSettingsStore store;
    Settings settings(store);
    EXPECT_TRUE(ReadNotifyEnabled(settings));
    const std::pair<const char*, bool> cases[] = {{"0", false}, {"1", true}, {"2", true}};
    for (const auto& [value, enabled] : cases) {
        settings.WriteSetting("UPS", "Notify", value);
        EXPECT_EQ(ReadNotifyEnabled(settings), enabled) << value;
    }
    settings.WriteSetting("UPS", "Notify", "yes");
    EXPECT_THROW(ReadNotifyEnabled(settings), Error);
}

// The recorder ---------------------------------------------------------------------------------

class ThrowingSink : public EventSink {
public:
    int calls = 0;
    void OnEvent(const Event&) override { Throw(); }
    void OnTime(Moment) override { Throw(); }
    void Throw() {
        ++calls;
        throw std::runtime_error("disk on fire");
    }
};

TEST(EventRecorder, ReadsTheClockFeedsHistoryAndNeverThrows) {
    fakes::FakeClock clock;
    ThrowingSink first;
    WordSink words;
    ThrowingSink last;
    EventSinks sinks{&first, &words};
    sinks.Add(last);
    History history;
    EventRecorder recorder(clock, sinks, history);

    clock.now = Moment{1000, 7200};
    recorder.Started();
    recorder.TickStarted();
    RecordFields f;
    f.battery = "11.0";
    f.flags = "10001001";
    clock.now = Moment{1001, 7200};
    recorder.RecordReceived(StatusRecord(BuildRecord(f)), std::nullopt);
    recorder.CountdownStarted(5);
    recorder.CountdownEnded(CountdownGo);
    recorder.SwitchOffSent(1);
    recorder.CancelSent();
    recorder.PowerRequested(PowerAction::PowerOff);
    recorder.PowerRefused(PowerAction::PowerOff, "denied");
    recorder.SettingChanged("OffUPS", "1");
    recorder.ErrorShown("Range check error");
    clock.now = Moment{1013, 7200};
    recorder.TickStarted();
    recorder.Exiting();

    EXPECT_EQ(words.events.front().time.unixSeconds, 1000);
    EXPECT_EQ(words.events.back().time.unixSeconds, 1013);
    EXPECT_EQ(words.TakeWords(),
              "start | mains-lost | countdown-started seconds=5 | countdown-finished | "
              "ups-switch-off-sent minutes=1 | ups-cancel-sent | power-request action=poweroff | "
              "power-refused action=poweroff reason=denied | setting-changed OffUPS=1 | "
              "error text=\"Range check error\" | link-lost | exit");
    // Both throwing sinks saw all twelve events and both ticks.
    EXPECT_EQ(first.calls, 14);
    EXPECT_EQ(last.calls, 14);
    const auto points = history.Points(1013);
    ASSERT_EQ(points.size(), 1u);
    EXPECT_EQ(points[0].unixSeconds, 990);
    EXPECT_EQ(points[0].readings.chargePercent, 77);
}

}  // namespace
}  // namespace zelto
