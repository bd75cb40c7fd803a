// The journal's lines and file, and the 24-hour history ring.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/events/history.h"
#include "core/events/journal_line.h"
#include "core/events/readings.h"

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

}  // namespace
}  // namespace zelto
