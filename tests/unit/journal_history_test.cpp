// The journal's lines and file, and the 24-hour history ring.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/events/event_log.h"
#include "core/events/history.h"
#include "core/events/history_chart.h"
#include "core/events/journal.h"
#include "core/events/journal_line.h"
#include "core/events/readings.h"
#include "tests/support/core_fakes.h"
#include "tests/support/event_fakes.h"

namespace zelto {
namespace {

TEST(JournalText, ParseTenths) {
    const struct {
        const char* text;
        int tenths;  // -1: not a voltage
    } cases[] = {{"228.0", 2280},   {"000.0", 0}, {" 13.6", 136}, {"13.6 ", 136}, {"230", 2300},
                 {"99999", 999990}, {"", -1},     {"   ", -1},    {"2x8.0", -1},  {"228.", -1},
                 {"228.05", -1},    {".5", -1},   {"-12.0", -1},  {"1 2.0", -1},  {"999999", -1}};
    for (const auto& c : cases) {
        EXPECT_EQ(ParseTenths(c.text).value_or(-1), c.tenths) << "'" << c.text << "'";
    }
}

TEST(JournalText, IsoLocalTime) {
    const struct {
        std::int64_t unixSeconds;
        std::int32_t offset;
        const char* expected;
    } cases[] = {
        {0, 0, "1970-01-01T00:00:00+00:00"},
        {1709251199, 10800, "2024-03-01T02:59:59+03:00"},  // just after a leap day
        {1704067200, -18000, "2023-12-31T19:00:00-05:00"},
        {1704067200, 19800, "2024-01-01T05:30:00+05:30"},
        {1704067200, -12600, "2023-12-31T20:30:00-03:30"},
        {951782400, 0, "2000-02-29T00:00:00+00:00"},
        {4102444799, 0, "2099-12-31T23:59:59+00:00"},
        {-1, 0, "1969-12-31T23:59:59+00:00"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsoLocalTime(Moment{c.unixSeconds, c.offset}), c.expected) << c.unixSeconds;
    }
}

struct Rig {
    fakes::MemoryJournalFile file;
    std::vector<std::string> reports;
    Journal journal{file, [this](const std::string& text) { reports.push_back(text); }};
};

TEST(Journal, AppendsOneLinePerEvent) {
    Rig rig;
    rig.journal.OnEvent(Event{EventKind::Start, Moment{60, 0}, std::nullopt, ""});
    rig.journal.OnEvent(Event{EventKind::PowerRefused, Moment{75, 3600},
                              Readings{0, 2300, 128, 20, 62}, "action=poweroff reason=denied"});
    const std::string second =
        "1970-01-01T01:01:15+01:00 power-refused mains=0.0V battery=12.8V charge=62% load=20% "
        "action=poweroff reason=denied";
    EXPECT_EQ(rig.file.current, "1970-01-01T00:01:00+00:00 start\n" + second + "\n");
    EXPECT_EQ(rig.journal.Recent().back(), second);
    EXPECT_TRUE(rig.reports.empty());
}

TEST(Journal, RotatesBeforePassingOneMebibyte) {
    const struct {
        std::size_t before;  // bytes in the journal
        std::size_t line;    // the new line, without its line end
        bool rotates;
    } cases[] = {{1048566, 9, false}, {1048566, 10, true}, {1048576, 0, true},
                 {0, 2000000, false}, {1, 1048575, true},  {1, 1048574, false}};
    for (const auto& c : cases) {
        Rig rig;
        rig.file.current = std::string(c.before, 'a');
        rig.journal.Write(std::string(c.line, 'b'));
        EXPECT_EQ(rig.file.rotations, c.rotates ? 1 : 0) << c.before << " + " << c.line;
        EXPECT_EQ(rig.file.current.size(), (c.rotates ? 0 : c.before) + c.line + 1);
        EXPECT_EQ(rig.file.old.size(), c.rotates ? c.before : 0u);
    }
}

TEST(Journal, StaysBoundedOverManyLines) {
    Rig rig;
    for (int i = 0; i < 25000; ++i) {
        rig.journal.Write(std::string(99, 'x'));  // 100 bytes with the line end
        ASSERT_LE(rig.file.current.size(), 1048576u);
    }
    // 10485 lines fill a file: two rotations, then 4030 lines.
    EXPECT_EQ(rig.file.rotations, 2);
    EXPECT_EQ(rig.file.old.size(), 1048500u);
    EXPECT_EQ(rig.file.current.size(), 403000u);
    EXPECT_EQ(rig.journal.Recent().size(), 100u);
}

TEST(Journal, AFailureIsReportedOnceAndWritingGoesOn) {
    Rig rig;
    rig.file.failAppend = true;
    rig.journal.Write("one");
    EXPECT_EQ(rig.reports.size(), 1u);
    rig.journal.Write("two");
    rig.file.failAppend = false;
    rig.journal.Write("three");
    rig.file.failRotate = true;
    rig.file.current.resize(1048576, 'a');
    rig.journal.Write("four");  // the rename fails, the line is kept
    EXPECT_EQ(rig.reports, std::vector<std::string>{"Unable to write to /cfg/UPSZelto.log"});
    EXPECT_EQ(rig.file.appends, 4);
    EXPECT_EQ(rig.file.rotations, 1);
    EXPECT_EQ(rig.file.current.substr(0, 6) + rig.file.current.substr(1048576), "three\nfour\n");
}

// The program's error boxes pass through the event log on their way to the screen.
TEST(EventLog, JournalsEveryBoxAndTellsItsOwnFailureOnce) {
    struct FixedClock : Clock {
        Moment Now() override { return Moment{120, 0}; }
    } clock;
    struct NoNotifier : Notifier {
        void Show(const Notification&) override {}
    } notifier;
    fakes::MemoryJournalFile file;
    fakes::FakeErrorReporter boxes;
    EventLog log(clock, file, notifier, boxes);

    log.Report("Range check error.");
    EXPECT_EQ(file.current, "1970-01-01T00:02:00+00:00 error text=\"Range check error.\"\n");
    file.failAppend = true;
    log.Report("'x' is not a valid integer value.");
    log.Report("Range check error.");
    // The journal's own failure is a box too, and is journalled like any other (in vain here).
    EXPECT_EQ(boxes.texts, (std::vector<std::string>{
                               "Range check error.", "Unable to write to /cfg/UPSZelto.log",
                               "'x' is not a valid integer value.", "Range check error."}));
    ASSERT_EQ(log.JournalLines().Recent().size(), 4u);
    EXPECT_EQ(log.JournalLines().Recent()[2],
              "1970-01-01T00:02:00+00:00 error text=\"Unable to write to /cfg/UPSZelto.log.\"");
}

// History ---------------------------------------------------------------------------------------

// Readings that tell the time they were taken at.
Readings Stamp(std::int64_t t) {
    return Readings{static_cast<int>(t % 3000), static_cast<int>(t % 2500),
                    static_cast<int>(t % 1000), static_cast<int>(t % 101),
                    static_cast<int>(t % 100)};
}

TEST(History, ADayAndMoreStaysBoundedAndInOrder) {
    History history;
    EXPECT_EQ(history.Bytes(), 46080u);
    // A record every second for 30 hours: the ring goes round more than once.
    for (std::int64_t t = 0; t < 108000; ++t) {
        history.Add(t, Stamp(t));
        if (t % 3600 == 3599) {
            const auto points = history.Points(t);
            ASSERT_EQ(points.size(), std::min<std::size_t>((t + 1) / 15, 5760)) << t;
            for (std::size_t i = 1; i < points.size(); ++i) {
                ASSERT_EQ(points[i].unixSeconds - points[i - 1].unixSeconds, 15) << t;
            }
        }
    }
    EXPECT_EQ(history.Bytes(), 46080u);
    const auto points = history.Points(107999);
    ASSERT_EQ(points.size(), 5760u);
    // The oldest slot is 24 hours before the newest; each keeps its last record (second 14).
    const Readings& oldest = points.front().readings;
    EXPECT_EQ(points.front().unixSeconds, 21600);
    EXPECT_EQ(std::vector<int>({oldest.mainsTenths, oldest.outputTenths, oldest.batteryTenths,
                                oldest.loadPercent, oldest.chargePercent}),
              std::vector<int>({614, 1614, 614, 0, 14}));
    EXPECT_EQ(points.back().unixSeconds, 107985);
    EXPECT_EQ(points.back().readings.mainsTenths, 2999);
    // Read later without new records, the window moves on and older points drop out.
    EXPECT_EQ(history.Points(107999 + 3600).size(), 5520u);
    EXPECT_TRUE(history.Points(107999 + 86400).empty());
}

TEST(History, GapsStayEmpty) {
    History history;
    for (std::int64_t t = 0; t < 8400; t += 15) {
        if (t < 600 || t >= 7800) {  // two hours without a record between
            history.Add(t, Stamp(t));
        }
    }
    auto points = history.Points(8400);
    ASSERT_EQ(points.size(), 80u);
    EXPECT_EQ(points[39].unixSeconds, 585);
    EXPECT_EQ(points[40].unixSeconds, 7800);
    EXPECT_EQ(points[40].readings.mainsTenths, 1800);
    // A gap of more than a day leaves nothing of before it.
    history.Add(200000, Stamp(1));
    points = history.Points(200000);
    ASSERT_EQ(points.size(), 1u);
    EXPECT_EQ(points[0].unixSeconds, 199995);
}

TEST(History, AClockSetBack) {
    History history;
    for (std::int64_t t = 1000005; t < 1000605; t += 15) {
        history.Add(t, Stamp(t));
    }
    // Back by five minutes: the slots passed again are written again, in their place.
    history.Add(1000305, Stamp(7));
    auto points = history.Points(1000605);
    ASSERT_EQ(points.size(), 40u);
    EXPECT_EQ(points[20].unixSeconds, 1000305);
    EXPECT_EQ(points[20].readings.mainsTenths, 7);
    EXPECT_EQ(points[21].readings.mainsTenths, 1320);
    EXPECT_EQ(history.Points(1000305).size(), 21u);
    // Back by more than a day: the history starts anew.
    history.Add(900005, Stamp(8));
    points = history.Points(900005);
    ASSERT_EQ(points.size(), 1u);
    EXPECT_EQ(points[0].unixSeconds, 900000);
    EXPECT_TRUE(history.Points(1000605).empty());
}

TEST(History, ASlotKeepsItsLatestRecordAndUnknownsRoundTrip) {
    History history;
    history.Add(30, Readings{2200, 2210, 135, 10, 90});
    history.Add(44, Readings{-1, 70000, 136, 300, -1});
    history.Add(45, Readings{});  // nothing readable: a gap
    const auto points = history.Points(45);
    ASSERT_EQ(points.size(), 1u);
    const Readings& r = points[0].readings;
    EXPECT_EQ(points[0].unixSeconds, 30);
    EXPECT_EQ(std::vector<int>(
                  {r.mainsTenths, r.outputTenths, r.batteryTenths, r.loadPercent, r.chargePercent}),
              std::vector<int>({-1, 65534, 136, 254, -1}));
}

// The chart's geometry ---------------------------------------------------------------------------

TEST(HistoryChart, RoundScales) {
    const struct {
        double low, high;
        int maxSteps;
        double scaleLow, scaleHigh, step;
    } cases[] = {
        {215.0, 235.0, 4, 215, 235, 5}, {216.3, 233.9, 4, 215, 235, 5},
        {0.0, 230.0, 4, 0, 300, 100},   {0.0, 230.0, 5, 0, 250, 50},
        {10.4, 13.7, 4, 10, 14, 1},     {12.0, 12.0, 4, 10, 20, 10},
        {0.0, 0.0, 4, 0, 1, 1},         {0.0, 100.0, 5, 0, 100, 20},
        {13.7, 10.4, 4, 10, 14, 1},     {226.0, 226.4, 4, 226, 226.4, 0.1},
    };
    for (const auto& c : cases) {
        const ValueScale scale = RoundScale(c.low, c.high, c.maxSteps);
        EXPECT_NEAR(scale.low, c.scaleLow, 1e-9) << c.low << "-" << c.high;
        EXPECT_NEAR(scale.high, c.scaleHigh, 1e-9) << c.low << "-" << c.high;
        EXPECT_NEAR(scale.step, c.step, 1e-12) << c.low << "-" << c.high;
        EXPECT_LE((scale.high - scale.low) / scale.step, c.maxSteps + 1e-9);
    }
}

TEST(HistoryChart, ScaleOfTheSeriesShown) {
    const std::vector<HistoryPoint> points = {
        {0, Readings{2280, 2300, 136, 20, 100}},
        {15, Readings{0, 2290, 118, 25, -1}},  // mains failed
        {30, Readings{-1, -1, -1, -1, -1}},
    };
    const ValueScale volts =
        ScaleOf(points, {ChartSeries::Mains, ChartSeries::Output}, 200, 240, 5);
    EXPECT_DOUBLE_EQ(volts.low, 0);
    EXPECT_DOUBLE_EQ(volts.high, 250);
    const ValueScale battery = ScaleOf(points, {ChartSeries::Battery}, 10, 14, 4);
    EXPECT_DOUBLE_EQ(battery.low, 11);
    EXPECT_DOUBLE_EQ(battery.high, 14);
    // Nothing known: the fallback range.
    const ValueScale none = ScaleOf({{0, Readings{}}}, {ChartSeries::Battery}, 10, 14, 4);
    EXPECT_DOUBLE_EQ(none.low, 10);
    EXPECT_DOUBLE_EQ(none.high, 14);
}

TEST(HistoryChart, PointsLandByTimeAndValueAndGapsBreakTheLine) {
    const std::int64_t now = 1'000'000 * 15;
    const ChartArea area{10, 20, 960, 100};  // 90 seconds a pixel
    const ValueScale scale{0, 100, 20};
    std::vector<HistoryPoint> points;
    // Load 50 % over three neighbouring slots 12 hours ago, then a slot without a record, then
    // two slots with load 100 % and one whose load is unknown, then one at 0 % just now.
    const std::int64_t noon = now - 12 * 3600;
    points.push_back({noon, Readings{-1, -1, -1, 50, -1}});
    points.push_back({noon + 15, Readings{-1, -1, -1, 50, -1}});
    points.push_back({noon + 30, Readings{-1, -1, -1, 50, -1}});
    points.push_back({noon + 60, Readings{-1, -1, -1, 100, -1}});
    points.push_back({noon + 75, Readings{-1, -1, -1, 100, -1}});
    points.push_back({noon + 90, Readings{2300, -1, -1, -1, -1}});
    points.push_back({noon + 105, Readings{-1, -1, -1, 100, -1}});
    points.push_back({now, Readings{-1, -1, -1, 0, -1}});
    const auto lines = SeriesLines(points, ChartSeries::Load, now, scale, area);
    ASSERT_EQ(lines.size(), 4u);
    ASSERT_EQ(lines[0].size(), 3u);
    EXPECT_DOUBLE_EQ(lines[0][0].x, 490);  // half way: 10 + 480
    EXPECT_DOUBLE_EQ(lines[0][0].y, 70);   // 50 % of 100 px below 20
    EXPECT_NEAR(lines[0][2].x, 490 + 30.0 / 90, 1e-9);
    ASSERT_EQ(lines[1].size(), 2u);
    EXPECT_DOUBLE_EQ(lines[1][0].y, 20);  // 100 % at the top
    ASSERT_EQ(lines[2].size(), 1u);       // alone between an unknown and the end
    EXPECT_NEAR(lines[2][0].x, 490 + 105.0 / 90, 1e-9);
    ASSERT_EQ(lines[3].size(), 1u);
    EXPECT_DOUBLE_EQ(lines[3][0].x, 970);  // now: the right edge
    EXPECT_DOUBLE_EQ(lines[3][0].y, 120);  // 0 %: the bottom

    // Mains: one point only; values beyond the scale stay on its edge.
    const auto mains = SeriesLines(points, ChartSeries::Mains, now, scale, area);
    ASSERT_EQ(mains.size(), 1u);
    EXPECT_DOUBLE_EQ(mains[0][0].y, 20);
    // Older than 24 hours: left out; the very first slot sits on the left edge.
    const std::vector<HistoryPoint> old = {{now - 86400 - 15, Readings{-1, -1, -1, 10, -1}},
                                           {now - 86400 + 5, Readings{-1, -1, -1, 10, -1}}};
    const auto edge = SeriesLines(old, ChartSeries::Load, now, scale, area);
    ASSERT_EQ(edge.size(), 1u);
    ASSERT_EQ(edge[0].size(), 1u);
    EXPECT_NEAR(edge[0][0].x, 10 + 5.0 / 90, 1e-9);
}

TEST(HistoryChart, HourMarksInLocalTime) {
    const ChartArea area{0, 0, 1440, 10};  // a pixel a minute
    // 2024-03-01 02:59:59 at UTC+3 (1709251199): the marks run from 03:00 the day before.
    auto marks = HourMarks(Moment{1709251199, 10800}, area);
    ASSERT_EQ(marks.size(), 24u);
    EXPECT_EQ(marks.front().hour, 3);
    EXPECT_NEAR(marks.front().x, 1.0 / 60, 1e-9);
    EXPECT_EQ(marks.back().hour, 2);
    EXPECT_NEAR(marks.back().x, 1440 - 60 + 1.0 / 60, 1e-9);
    // On the hour, at UTC+5:30: 25 marks, both ends on one.
    marks = HourMarks(Moment{1704067200 - 19800, 19800}, area);
    ASSERT_EQ(marks.size(), 25u);
    EXPECT_EQ(marks.front().hour, 0);
    EXPECT_DOUBLE_EQ(marks.front().x, 0);
    EXPECT_DOUBLE_EQ(marks.back().x, 1440);
    EXPECT_EQ(marks[13].hour, 13);
    EXPECT_DOUBLE_EQ(marks[13].x, 780);
}

}  // namespace
}  // namespace zelto
