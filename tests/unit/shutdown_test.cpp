// Shutdown triggers, the once-per-outage rule, the procedure, and the countdown as the ticks
// advance it.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/monitor/shutdown_policy.h"
#include "tests/support/monitor_rig.h"

namespace zelto {
namespace {

using fakes::BuildRecord;
using fakes::MonitorRig;
using fakes::PowerRecord;
using fakes::RecordFields;

const std::string kQuery = "Q1\r";

// Writes other than status queries: the commands the shutdown sent.
std::vector<std::string> Commands(const fakes::FakeComPort& port) {
    std::vector<std::string> commands;
    for (const auto& w : port.writes) {
        if (w != kQuery) {
            commands.push_back(w);
        }
    }
    return commands;
}

TEST(ShutdownTrigger, ChargeLimitsAndTheValuesTheyActFrom) {
    // The estimate never hits a limit exactly; each acts from the step just below it.
    const struct {
        int index;
        int limit;
        int actsFrom;
        int stepAbove;
    } cases[] = {
        {1, 80, 77, 85}, {2, 50, 46, 54}, {3, 30, 23, 31}, {4, 20, 15, 23}, {5, 10, 8, 15}};
    for (const auto& c : cases) {
        EXPECT_TRUE(ChargeTriggerMet(c.index, c.limit)) << c.index;
        EXPECT_FALSE(ChargeTriggerMet(c.index, c.limit + 1)) << c.index;
        EXPECT_TRUE(ChargeTriggerMet(c.index, c.actsFrom)) << c.index;
        EXPECT_FALSE(ChargeTriggerMet(c.index, c.stepAbove)) << c.index;
        EXPECT_TRUE(ChargeTriggerMet(c.index, 0)) << c.index;
    }
    for (const int index : {-1, 0, 6, 7}) {
        EXPECT_FALSE(ChargeTriggerMet(index, 0)) << index;
    }
}

TEST(ShutdownTrigger, BatteryFieldsAtWhichEachTriggerActs) {
    const struct {
        int index;
        const char* acts;
        const char* waits;
    } cases[] = {{1, "11.0", "11.1"},
                 {2, "10.6", "10.7"},
                 {3, "10.3", "10.4"},
                 {4, "10.2", "10.3"},
                 {5, "10.1", "10.2"}};
    for (const auto& c : cases) {
        MonitorRig waits;
        waits.state.TriggerIndex = c.index;
        waits.TickWith(PowerRecord(c.waits, true));
        EXPECT_TRUE(waits.countdown.runs.empty()) << c.index << " at " << c.waits;

        MonitorRig acts;
        acts.state.TriggerIndex = c.index;
        acts.TickWith(PowerRecord(c.acts, true));
        EXPECT_EQ(acts.countdown.runs.size(), 1u) << c.index << " at " << c.acts;
    }
}

TEST(ShutdownTrigger, MainsFailureActsEvenOnAFullBattery) {
    MonitorRig rig;
    rig.state.TriggerIndex = 0;  // "при отказе сети"
    rig.TickWith(PowerRecord("13.6", false));
    EXPECT_TRUE(rig.countdown.runs.empty());
    rig.TickWith(PowerRecord("13.6", true));
    EXPECT_EQ(rig.countdown.runs.size(), 1u);
}

TEST(ShutdownTrigger, NeverAndNoSelectionNeverAct) {
    for (const int index : {6, -1}) {
        MonitorRig rig;
        rig.state.TriggerIndex = index;
        rig.TickWith(PowerRecord("09.0", true));
        EXPECT_TRUE(rig.countdown.runs.empty()) << index;
    }
}

TEST(ShutdownTrigger, FiftyPercentActsOnTheRecordGiving46) {
    MonitorRig rig;
    rig.state.TriggerIndex = 2;
    rig.TickWith(PowerRecord("10.7", true));
    EXPECT_EQ(rig.display.charge, "54 %");
    EXPECT_TRUE(rig.countdown.runs.empty());
    rig.TickWith(PowerRecord("10.6", true));
    EXPECT_EQ(rig.countdown.runs.size(), 1u);
    EXPECT_EQ(rig.display.charge, "46 %");
}

TEST(ShutdownOncePerOutage, SeventySevenThenLowerGivesOneCountdown) {
    MonitorRig rig;
    rig.state.TriggerIndex = 1;
    rig.state.MethodIndex = 0;
    rig.SetOffAfter("3");
    // The later records arrive while the countdown shows, and after it went ahead.
    for (const char* battery : {"11.0", "10.9", "10.8", "10.5", "10.4", "10.3"}) {
        rig.TickWith(PowerRecord(battery, true));
    }
    EXPECT_EQ(rig.countdown.runs.size(), 1u);
    EXPECT_EQ(rig.power.actions, std::vector<PowerAction>{PowerAction::PowerOff});
}

TEST(ShutdownOncePerOutage, CancelledMeansNoSecondCountdownUntilMainsReturn) {
    MonitorRig rig;
    rig.state.TriggerIndex = 2;
    rig.state.MethodIndex = 0;
    rig.TickWith(PowerRecord("10.6", true));
    rig.monitor.CountdownAnswered(CountdownCancelled);
    for (const char* battery : {"10.3", "10.0"}) {
        rig.TickWith(PowerRecord(battery, true));
    }
    EXPECT_EQ(rig.countdown.runs.size(), 1u);
    EXPECT_FALSE(rig.state.ShutdownArmed);
    EXPECT_TRUE(rig.power.actions.empty());

    rig.TickWith(PowerRecord("13.0", false));
    rig.TickWith(PowerRecord("10.5", true));
    EXPECT_EQ(rig.countdown.runs.size(), 2u);
}

TEST(ShutdownProcedure, NotArmedDoesNothing) {
    MonitorRig rig;
    rig.state.ShutdownArmed = false;
    rig.state.MethodIndex = 0;
    rig.monitor.RunShutdown();
    EXPECT_TRUE(rig.countdown.runs.empty());
    EXPECT_TRUE(rig.power.actions.empty());
}

TEST(ShutdownProcedure, OnlyResultOneActs) {
    const struct {
        int result;
        bool acts;
    } cases[] = {{CountdownGo, true}, {CountdownProgramEnding, false}, {CountdownCancelled, false}};
    for (const auto& c : cases) {
        MonitorRig rig;
        rig.state.MethodIndex = 1;
        rig.state.UpsOffIndex = 3;
        rig.ShutdownAnswered(c.result);
        EXPECT_FALSE(rig.state.ShutdownArmed);
        EXPECT_FALSE(rig.countdown.showing);
        EXPECT_EQ(rig.state.ShutdownStep, ShutdownStage::Idle);
        EXPECT_EQ(rig.power.actions.size(), c.acts ? 1u : 0u) << c.result;
        EXPECT_EQ(Commands(rig.port).size(), c.acts ? 1u : 0u) << c.result;
    }
}

TEST(ShutdownProcedure, UpsSwitchOffByListEntry) {
    const struct {
        int index;
        std::vector<std::string> commands;
    } cases[] = {{0, {}},
                 {-1, {}},
                 {11, {}},
                 {1, {"S01R0000\r"}},
                 {5, {"S05R0000\r"}},
                 {10, {"S10R0000\r"}}};
    for (const auto& c : cases) {
        MonitorRig rig;
        rig.state.MethodIndex = 0;
        rig.state.UpsOffIndex = c.index;
        rig.ShutdownAnswered(CountdownGo);
        EXPECT_EQ(Commands(rig.port), c.commands) << c.index;
        // "никогда" still powers the computer off.
        EXPECT_EQ(rig.power.actions, std::vector<PowerAction>{PowerAction::PowerOff}) << c.index;
    }
}

TEST(ShutdownProcedure, PowerActionByMethod) {
    const struct {
        int index;
        std::vector<PowerAction> actions;
    } cases[] = {{0, {PowerAction::PowerOff}},
                 {1, {PowerAction::Hibernate}},
                 {2, {PowerAction::Suspend}},
                 {-1, {}},
                 {3, {}}};
    for (const auto& c : cases) {
        MonitorRig rig;
        rig.state.MethodIndex = c.index;
        rig.ShutdownAnswered(CountdownGo);
        EXPECT_EQ(rig.power.actions, c.actions) << c.index;
    }
}

TEST(ShutdownProcedure, UpsIsToldBeforeTheMachineHibernates) {
    MonitorRig rig;
    rig.state.TriggerIndex = 0;  // "при отказе сети"
    rig.state.MethodIndex = 1;
    rig.state.UpsOffIndex = 5;
    std::vector<std::string> writesAtRequest;
    rig.power.onRequest = [&](PowerAction) { writesAtRequest = rig.port.writes; };
    rig.TickWith(PowerRecord("12.0", true));
    rig.monitor.CountdownAnswered(CountdownGo);
    EXPECT_EQ(writesAtRequest, (std::vector<std::string>{"Q1\r", "S05R0000\r"}));
    EXPECT_EQ(rig.power.actions, std::vector<PowerAction>{PowerAction::Hibernate});
}

TEST(ShutdownProcedure, CountdownLengthFromTheSettings) {
    const struct {
        const char* file;
        std::uint16_t seconds;
    } cases[] = {{nullptr, 10},
                 {"[UPS]\r\nOFFAfter=25\r\n", 25},
                 {"[UPS]\r\nOFFAfter=0\r\n", 0},
                 {"[UPS]\r\nOFFAfter=65535\r\n", 65535},
                 {"[UPS]\r\nOFFAfter=$1E\r\n", 30},
                 {"[UPS]\r\nCompOff=1\r\n", 10}};
    for (const auto& c : cases) {
        MonitorRig rig;
        if (c.file != nullptr) {
            rig.WriteSettingsFile(c.file);
        }
        rig.monitor.RunShutdown();
        EXPECT_EQ(rig.countdown.runs, std::vector<std::uint16_t>{c.seconds});
        EXPECT_TRUE(rig.errors.texts.empty());
    }
}

TEST(ShutdownProcedure, BadCountdownLengthIsReportedAndTenSecondsRun) {
    const struct {
        const char* value;
        const char* error;
    } cases[] = {{"abc", "'abc' is not a valid integer value"},
                 {"", "'' is not a valid integer value"},
                 {"65536", "Range check error"},
                 {"-1", "Range check error"}};
    for (const auto& c : cases) {
        MonitorRig rig;
        rig.state.MethodIndex = 2;
        rig.SetOffAfter(c.value);
        rig.ShutdownAnswered(CountdownGo);
        EXPECT_EQ(rig.errors.texts, std::vector<std::string>{c.error}) << c.value;
        EXPECT_EQ(rig.countdown.runs, std::vector<std::uint16_t>{10}) << c.value;
        EXPECT_EQ(rig.power.actions, std::vector<PowerAction>{PowerAction::Suspend});
    }
}

TEST(ShutdownProcedure, RefusedPowerRequestWithdrawsTheUpsSwitchOffAndIsReported) {
    const struct {
        int method;
        int upsOff;
        const char* text;
        std::vector<std::string> commands;
    } cases[] = {
        {0, 1, "Не удалось выключить компьютер: Access denied", {"S01R0000\r", "C\r"}},
        {1,
         5,
         "Не удалось перевести компьютер в спящий режим: Access denied",
         {"S05R0000\r", "C\r"}},
        {2,
         10,
         "Не удалось перевести компьютер в ждущий режим: Access denied",
         {"S10R0000\r", "C\r"}},
        // No switch-off was sent, so there is nothing to withdraw.
        {1, 0, "Не удалось перевести компьютер в спящий режим: Access denied", {}},
    };
    for (const auto& c : cases) {
        MonitorRig rig;
        rig.state.MethodIndex = c.method;
        rig.state.UpsOffIndex = c.upsOff;
        rig.power.refusal = "Access denied";
        std::vector<std::string> commandsAtRequest;
        rig.power.onRequest = [&](PowerAction) { commandsAtRequest = Commands(rig.port); };
        rig.ShutdownAnswered(CountdownGo);
        EXPECT_EQ(rig.errors.texts, std::vector<std::string>{c.text});
        EXPECT_EQ(Commands(rig.port), c.commands) << c.method;
        // The cancel follows the refusal; it was not sent before the request.
        EXPECT_EQ(commandsAtRequest.size(), c.commands.empty() ? 0u : 1u) << c.method;
    }
}

TEST(ShutdownProcedure, TellsWhatHappensInTheOrderItHappens) {
    const struct {
        int countdownResult;
        const char* refusal;
        std::vector<std::string> told;
    } cases[] = {
        {CountdownGo,
         "Access denied",
         {"tick", "record on mains", "tick", "record on battery", "countdown 7",
          "countdown ended 1", "switch-off 5 after 1", "request 1 after 1",
          "refused 1 Access denied after 1", "cancel after 2"}},
        {CountdownGo,
         "",
         {"tick", "record on mains", "tick", "record on battery", "countdown 7",
          "countdown ended 1", "switch-off 5 after 1", "request 1 after 1"}},
        {CountdownCancelled,
         "",
         {"tick", "record on mains", "tick", "record on battery", "countdown 7",
          "countdown ended 3"}},
    };
    for (const auto& c : cases) {
        MonitorRig rig;
        rig.SetOffAfter("7");
        rig.state.TriggerIndex = 0;  // "при отказе сети"
        rig.state.MethodIndex = 1;
        rig.state.UpsOffIndex = 5;
        if (*c.refusal != '\0') {
            rig.power.refusal = c.refusal;
        }
        rig.TickWith(BuildRecord({}));
        rig.TickWith(PowerRecord("13.0", true));
        rig.monitor.CountdownAnswered(c.countdownResult);
        EXPECT_EQ(rig.events.told, c.told) << c.countdownResult << " " << c.refusal;
    }
}

TEST(ShutdownProcedure, AcceptedPowerRequestLeavesTheUpsSwitchOffInForce) {
    MonitorRig rig;
    rig.state.MethodIndex = 1;
    rig.state.UpsOffIndex = 5;
    rig.ShutdownAnswered(CountdownGo);
    EXPECT_EQ(Commands(rig.port), std::vector<std::string>{"S05R0000\r"});
    EXPECT_TRUE(rig.errors.texts.empty());
}

// The ticks advance the countdown, one second each from the tick after the one that opened it,
// and the poll goes on at one query a tick throughout. The UPS answers each query one tick
// later, as a real one does.
class ShutdownByTicks : public ::testing::Test {
protected:
    void SetUp() override {
        rig.state.TriggerIndex = 0;  // "при отказе сети"
        rig.state.MethodIndex = 0;
        rig.state.UpsOffIndex = 5;
    }
    MonitorRig rig;
};

TEST_F(ShutdownByTicks, CountsDownOnceATickThenSwitchesOffInTheTickThatReachesZero) {
    rig.SetOffAfter("3");
    rig.port.AnswerQueries({PowerRecord("10.9", true), PowerRecord("10.8", true),
                            PowerRecord("10.7", true), PowerRecord("10.6", true)});
    rig.TickWith(PowerRecord("11.0", true));
    EXPECT_EQ(rig.countdown.shown, std::vector<std::uint16_t>{3});
    rig.Tick();
    rig.Tick();
    EXPECT_TRUE(rig.power.actions.empty());
    EXPECT_TRUE(Commands(rig.port).empty());
    rig.Tick();
    EXPECT_EQ(rig.countdown.shown, (std::vector<std::uint16_t>{3, 2, 1, 0}));
    EXPECT_FALSE(rig.countdown.showing);
    EXPECT_EQ(Commands(rig.port), std::vector<std::string>{"S05R0000\r"});
    EXPECT_EQ(rig.power.actions, std::vector<PowerAction>{PowerAction::PowerOff});
    // Every record was read while it counted: the clock ran and the charge followed.
    EXPECT_EQ(rig.display.clock, "00:04");
    EXPECT_EQ(rig.display.charge, "54 %");
    EXPECT_EQ(rig.port.WritesOf(kQuery), 4);
    rig.Tick();
    EXPECT_EQ(rig.power.actions.size(), 1u);
    EXPECT_EQ(rig.port.WritesOf(kQuery), 5);
}

TEST_F(ShutdownByTicks, ZeroSecondsShowsZeroAndGoesAheadOnTheNextTick) {
    rig.SetOffAfter("0");
    rig.TickWith(PowerRecord("11.0", true));
    EXPECT_EQ(rig.countdown.runs, std::vector<std::uint16_t>{0});
    EXPECT_TRUE(rig.power.actions.empty());
    rig.Tick();
    EXPECT_EQ(rig.power.actions.size(), 1u);
}

TEST_F(ShutdownByTicks, MainsBackCancelsAndRearmsAndItsRecordIsShown) {
    rig.SetOffAfter("1");
    rig.port.AnswerQueries({PowerRecord("12.5", false), PowerRecord("12.5", false)});
    rig.TickWith(PowerRecord("11.0", true));
    // The count reaches zero in the tick whose record says mains are back: the record wins.
    rig.Tick();
    EXPECT_FALSE(rig.countdown.showing);
    EXPECT_EQ(rig.countdown.shown, std::vector<std::uint16_t>{1});
    EXPECT_TRUE(rig.power.actions.empty());
    EXPECT_TRUE(Commands(rig.port).empty());
    EXPECT_TRUE(rig.state.ShutdownArmed);
    EXPECT_EQ(rig.display.trayTip, "Питание от сети. Заряд батареи: 38%");
    EXPECT_EQ(rig.display.clockVisible, false);
    EXPECT_EQ(rig.events.told.back(), "countdown ended 3");
    // Failing again: a new countdown from the full length.
    rig.TickWith(PowerRecord("12.0", true));
    rig.TickWith(PowerRecord("12.0", true));
    EXPECT_EQ(rig.countdown.runs, (std::vector<std::uint16_t>{1, 1}));
}

TEST_F(ShutdownByTicks, AnswersOnlyEndAShowingCountdown) {
    // Nothing shows: a stray press does nothing.
    rig.monitor.CountdownAnswered(CountdownGo);
    EXPECT_TRUE(rig.power.actions.empty());
    rig.TickWith(PowerRecord("11.0", true));
    rig.monitor.CountdownAnswered(CountdownCancelled);
    // A second press, and the go the count would have reached, come too late.
    rig.monitor.CountdownAnswered(CountdownGo);
    for (int i = 0; i < 12; ++i) {
        rig.TickWith(PowerRecord("11.0", true));
    }
    EXPECT_TRUE(rig.power.actions.empty());
    EXPECT_EQ(rig.countdown.closes, 1);
}

TEST_F(ShutdownByTicks, ABadRecordDoesNotHoldTheCountdownBack) {
    rig.SetOffAfter("1");
    RecordFields bad;
    bad.battery = "1.25";
    rig.port.AnswerQueries({BuildRecord(bad)});
    rig.TickWith(PowerRecord("11.0", true));
    rig.Tick();
    EXPECT_EQ(rig.errors.texts, std::vector<std::string>{"'1.' is not a valid integer value"});
    EXPECT_EQ(rig.power.actions, std::vector<PowerAction>{PowerAction::PowerOff});
    EXPECT_EQ(rig.port.WritesOf(kQuery), 1);
}

}  // namespace
}  // namespace zelto
