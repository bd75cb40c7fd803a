// The poll tick: read, show, send the next query; every way an answer can be wrong.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/monitor_rig.h"

namespace zelto {
namespace {

using fakes::BuildRecord;
using fakes::MonitorRig;
using fakes::RecordFields;

const std::string kQuery = "Q1\r";

TEST(PollCycle, EdgeCaseRecordShowsEveryReadingInOrder) {
    MonitorRig rig;
    rig.TickWith(BuildRecord({}));  // 228.0 x3, 015, 50.0, 13.6, 35.0, flags 00001001
    const std::vector<std::string> expected = {
        "LinkState down",
        "MainsVoltage 228.0 V",
        "InputVoltage 228.0 V",
        "OutputVoltage 228.0 V",
        "Load 015 %",
        "LoadBar 15",
        "Frequency 50.0 Hz",
        "Temperature 35.0 °C",
        "BeeperPicture 11",
        "BatteryVoltage 13.6 V",
        // mains present, V10 = 136: (136 - 120) x 7.7 is over 100
        "Tray 8 Питание от сети. Заряд батареи: 100%",
        "ClockVisible no",
        "BatteryPicture 0",
        "Charge 100 %",
    };
    EXPECT_EQ(rig.display.calls, expected);
    EXPECT_TRUE(rig.state.LinkOk);
    EXPECT_EQ(rig.state.RxBuffer, "");
    EXPECT_EQ(rig.port.writes, std::vector<std::string>{kQuery});
    EXPECT_TRUE(rig.errors.texts.empty());
}

TEST(PollCycle, LinkColourFollowsThePreviousTick) {
    MonitorRig rig;
    rig.Tick();
    rig.TickWith(BuildRecord({}));
    rig.Tick();
    rig.Tick();
    std::vector<std::string> linkCalls;
    for (const auto& call : rig.display.calls) {
        if (call.rfind("LinkState", 0) == 0) {
            linkCalls.push_back(call);
        }
    }
    const std::vector<std::string> expected = {"LinkState down", "LinkState down", "LinkState ok",
                                               "LinkState down"};
    EXPECT_EQ(linkCalls, expected);
}

TEST(PollCycle, NoAnswerKeepsTheDisplayAndStillQueries) {
    MonitorRig rig;
    rig.TickWith(BuildRecord({}));
    rig.display.calls.clear();
    rig.Tick();
    EXPECT_EQ(rig.display.calls, std::vector<std::string>{"LinkState ok"});
    EXPECT_FALSE(rig.state.LinkOk);
    EXPECT_EQ(rig.display.readings[Reading::MainsVoltage], "228.0 V");
    EXPECT_EQ(rig.port.WritesOf(kQuery), 2);
    EXPECT_TRUE(rig.port.reads.size() == 1) << "nothing waiting: nothing read";
}

TEST(PollCycle, WrongLengthsAreNotRecords) {
    const std::string record = BuildRecord({});
    const std::vector<std::string> chunks = {record.substr(0, 46), record + "x", record + record,
                                             "\r"};
    for (const auto& chunk : chunks) {
        MonitorRig rig;
        rig.TickWith(chunk);
        EXPECT_EQ(rig.display.calls, std::vector<std::string>{"LinkState down"}) << chunk.size();
        EXPECT_FALSE(rig.state.LinkOk);
        EXPECT_EQ(rig.state.RxBuffer, "");
        EXPECT_EQ(rig.port.writes, std::vector<std::string>{kQuery});
    }
}

TEST(PollCycle, AnswerSplitAcrossTwoTicksIsDropped) {
    MonitorRig rig;
    const std::string record = BuildRecord({});
    rig.TickWith(record.substr(0, 20));
    rig.TickWith(record.substr(20));
    EXPECT_FALSE(rig.state.LinkOk);
    EXPECT_TRUE(rig.display.readings.empty());
    rig.TickWith(record);
    EXPECT_TRUE(rig.state.LinkOk);
    EXPECT_EQ(rig.display.readings[Reading::Load], "015 %");
}

TEST(PollCycle, BadLoadFieldStopsAfterTheLoadLabel) {
    MonitorRig rig;
    RecordFields f;
    f.load = "1.5";
    const std::string record = BuildRecord(f);
    rig.TickWith(record);
    const std::vector<std::string> expected = {"LinkState down", "MainsVoltage 228.0 V",
                                               "InputVoltage 228.0 V", "OutputVoltage 228.0 V",
                                               "Load 1.5 %"};
    EXPECT_EQ(rig.display.calls, expected);
    EXPECT_EQ(rig.errors.texts, std::vector<std::string>{"'1.5' is not a valid integer value"});
    EXPECT_TRUE(rig.state.LinkOk);
    EXPECT_EQ(rig.state.RxBuffer, record);
    EXPECT_TRUE(rig.port.writes.empty());

    // The next tick finds nothing, starts afresh and queries; the one after reads the answer.
    rig.port.AnswerQueries({BuildRecord({})});
    rig.Tick();
    EXPECT_EQ(rig.state.RxBuffer, "");
    EXPECT_EQ(rig.port.writes, std::vector<std::string>{kQuery});
    rig.Tick();
    EXPECT_TRUE(rig.state.LinkOk);
    EXPECT_EQ(rig.display.loadBar, 15);
    EXPECT_EQ(rig.errors.texts.size(), 1u);
}

TEST(PollCycle, BadBatteryFieldShowsReadingsButNotThePowerState) {
    MonitorRig rig;
    RecordFields f;
    f.battery = "1.25";
    f.flags = "10000000";
    const std::string record = BuildRecord(f);
    rig.TickWith(record);
    const std::vector<std::string> expected = {
        "LinkState down",   "MainsVoltage 228.0 V", "InputVoltage 228.0 V", "OutputVoltage 228.0 V",
        "Load 015 %",       "LoadBar 15",           "Frequency 50.0 Hz",    "Temperature 35.0 °C",
        "BeeperPicture 10", "BatteryVoltage 1.25 V"};
    EXPECT_EQ(rig.display.calls, expected);
    EXPECT_EQ(rig.errors.texts, std::vector<std::string>{"'1.' is not a valid integer value"});
    EXPECT_TRUE(rig.state.LinkOk);
    EXPECT_EQ(rig.state.RxBuffer, record);
    EXPECT_TRUE(rig.port.writes.empty());
    EXPECT_TRUE(rig.countdown.runs.empty());
}

TEST(PollCycle, OversizedQueueIsReportedOnceAndDiscarded) {
    MonitorRig rig;
    rig.port.AnswerQueries({BuildRecord({})});
    rig.TickWith(std::string(65536, 'x'));
    EXPECT_EQ(rig.errors.texts, std::vector<std::string>{"Range check error"});
    EXPECT_EQ(rig.port.purges, 1);
    EXPECT_TRUE(rig.port.reads.empty()) << "nothing that large is read";
    EXPECT_FALSE(rig.state.LinkOk);
    EXPECT_EQ(rig.port.writes, std::vector<std::string>{kQuery});

    // The link recovers on the next tick.
    rig.Tick();
    EXPECT_TRUE(rig.state.LinkOk);
    EXPECT_EQ(rig.display.readings[Reading::MainsVoltage], "228.0 V");
    EXPECT_EQ(rig.errors.texts.size(), 1u);
}

TEST(PollCycle, LargestReadableQueueIsRead) {
    MonitorRig rig;
    rig.TickWith(std::string(65535, 'x'));
    EXPECT_TRUE(rig.errors.texts.empty());
    EXPECT_EQ(rig.port.reads, std::vector<std::size_t>{65535});
}

TEST(PollCycle, QueueThatStaysOversizedIsReportedOncePerEpisode) {
    MonitorRig rig;
    rig.port.purgeWorks = false;
    rig.port.Arrive(std::string(70000, 'x'));
    for (int i = 0; i < 5; ++i) {
        rig.Tick();
    }
    EXPECT_EQ(rig.errors.texts.size(), 1u);
    EXPECT_EQ(rig.port.purges, 5);
    rig.port.rx.clear();
    rig.Tick();
    rig.TickWith(std::string(70000, 'x'));
    EXPECT_EQ(rig.errors.texts.size(), 2u);
}

TEST(PollCycle, LoadBarIsClampedButTheLabelIsRaw) {
    const struct {
        const char* load;
        int bar;
    } cases[] = {{"015", 15},  {"000", 0},   {"099", 99}, {"100", 100},
                 {"101", 100}, {"250", 100}, {"-05", 0},  {"$FF", 100}};
    for (const auto& c : cases) {
        MonitorRig rig;
        RecordFields f;
        f.load = c.load;
        rig.TickWith(BuildRecord(f));
        EXPECT_EQ(rig.display.loadBar, c.bar) << c.load;
        EXPECT_EQ(rig.display.readings[Reading::Load], std::string(c.load) + " %");
    }
}

TEST(PollCycle, BeeperPictureFollowsTheLastFlag) {
    const struct {
        const char* flags;
        int picture;
    } cases[] = {{"00001001", 11}, {"00001000", 10}, {"1000000 ", 11}, {"11111110", 10}};
    for (const auto& c : cases) {
        MonitorRig rig;
        RecordFields f;
        f.flags = c.flags;
        rig.TickWith(BuildRecord(f));
        EXPECT_EQ(rig.display.beeperPicture, c.picture) << c.flags;
    }
}

TEST(PollCycle, LineNoiseIsShownAsQuestionMarks) {
    MonitorRig rig;
    RecordFields f;
    f.mains = std::string("\x1b[2J", 4) + "0";
    f.temperature = std::string(
        "3\0"
        "5.",
        4);
    f.frequency = "\xd0\x9f.0";
    rig.TickWith(BuildRecord(f));
    EXPECT_EQ(rig.display.readings[Reading::MainsVoltage], "?[2J0 V");
    EXPECT_EQ(rig.display.readings[Reading::Temperature], "3?5. °C");
    EXPECT_EQ(rig.display.readings[Reading::Frequency], "??.0 Hz");
}

TEST(BeeperClick, SendsTheToggleOnly) {
    MonitorRig rig;
    rig.monitor.Image5Click();
    EXPECT_EQ(rig.port.writes, std::vector<std::string>{"Q\r"});
    EXPECT_TRUE(rig.display.calls.empty());
}

TEST(BeeperClick, ClosedPortSwallowsIt) {
    MonitorRig rig;
    rig.port.open = false;
    rig.monitor.Image5Click();
    EXPECT_EQ(rig.port.writeAttempts, std::vector<std::string>{"Q\r"});
    EXPECT_TRUE(rig.port.writes.empty());
    EXPECT_TRUE(rig.display.calls.empty());
    EXPECT_TRUE(rig.errors.texts.empty());
}

}  // namespace
}  // namespace zelto
