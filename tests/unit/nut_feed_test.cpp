// What the NUT server publishes, fed by the poll cycle: the record's fields, the program's own
// charge and trigger as LB, the state of the link, and FSD around the committed shutdown. Also
// the server's settings as start-up reads and reports them.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "core/nut/nut_variables.h"
#include "core/program/nut_startup.h"
#include "tests/support/monitor_rig.h"

namespace zelto {
namespace {

using fakes::BuildRecord;
using fakes::MonitorRig;
using fakes::PowerRecord;
using fakes::RecordFields;

std::string Variable(const NutSnapshot& snapshot, const std::string& name) {
    const auto variable = FindNutVariable(snapshot, name);
    return variable ? variable->value : "<none>";
}

std::string Status(const MonitorRig& rig) {
    return Variable(rig.nut.Snapshot(), "ups.status");
}

TEST(NutFeed, RecordFieldsAsTheUpsSentThem) {
    MonitorRig rig;
    RecordFields f;
    f.mains = "231.5";
    f.input = "190.0";
    f.output = "229.9";
    f.load = "042";
    f.frequency = "49.9";
    f.battery = "12.6";
    f.temperature = "31.5";
    f.flags = "00100101";
    rig.TickWith(BuildRecord(f));

    const NutSnapshot& snapshot = rig.nut.Snapshot();
    ASSERT_TRUE(snapshot.record);
    EXPECT_EQ(snapshot.record->mainsVoltage, "231.5");
    EXPECT_EQ(snapshot.record->inputFaultVoltage, "190.0");
    EXPECT_EQ(snapshot.record->outputVoltage, "229.9");
    EXPECT_EQ(snapshot.record->load, "042");
    EXPECT_EQ(snapshot.record->frequency, "49.9");
    EXPECT_EQ(snapshot.record->batteryVoltage, "12.6");
    EXPECT_EQ(snapshot.record->temperature, "31.5");
    EXPECT_EQ(snapshot.record->flags, "00100101");
    // On mains, 12.6 V is (126 - 120) x 7.7 = 46 percent, the figure the window shows.
    EXPECT_EQ(snapshot.batteryCharge, 46);
    EXPECT_EQ(rig.display.charge, "46 %");
    EXPECT_EQ(snapshot.link, NutLink::Fresh);
    EXPECT_EQ(Variable(snapshot, "ups.load"), "42");
    EXPECT_EQ(Variable(snapshot, "ups.status"), "OL CAL");
    EXPECT_EQ(Variable(snapshot, "driver.name"), "upszelto");
}

TEST(NutFeed, TheSameChargeAsThePowerStateOnBattery) {
    MonitorRig rig;
    rig.state.TriggerIndex = 6;  // "никогда"
    rig.TickWith(PowerRecord("11.0", true));
    // (110 - 100) x 7.7 = 77.
    EXPECT_EQ(rig.nut.Snapshot().batteryCharge, 77);
    EXPECT_EQ(rig.state.BatteryCharge, 77u);
    EXPECT_EQ(Status(rig), "OB");
}

TEST(NutFeed, LinkStateFollowsThePortAndTheRecords) {
    MonitorRig rig;
    EXPECT_EQ(rig.nut.Snapshot().link, NutLink::NotConnected);
    // An open port and nothing received yet is no reading.
    rig.Tick();
    EXPECT_EQ(rig.nut.Snapshot().link, NutLink::Stale);
    rig.TickWith(PowerRecord("13.0", false));
    EXPECT_EQ(rig.nut.Snapshot().link, NutLink::Fresh);
    // Two missed answers are noise; the third tick without a record makes the data stale.
    rig.Tick();
    EXPECT_EQ(rig.nut.Snapshot().link, NutLink::Fresh);
    rig.Tick();
    EXPECT_EQ(rig.nut.Snapshot().link, NutLink::Fresh);
    rig.Tick();
    EXPECT_EQ(rig.nut.Snapshot().link, NutLink::Stale);
    // A record of the wrong length is no record either.
    rig.TickWith("(230.0 230.0\r");
    EXPECT_EQ(rig.nut.Snapshot().link, NutLink::Stale);
    rig.TickWith(PowerRecord("13.0", false));
    EXPECT_EQ(rig.nut.Snapshot().link, NutLink::Fresh);
    rig.port.open = false;
    rig.Tick();
    EXPECT_EQ(rig.nut.Snapshot().link, NutLink::NotConnected);
    rig.port.open = true;
    rig.Tick();
    EXPECT_EQ(rig.nut.Snapshot().link, NutLink::Stale);
}

TEST(NutFeed, LowBatteryAtTheProgramsOwnTrigger) {
    const struct {
        int trigger;
        std::string battery;
        bool onBattery;
        std::string status;
        std::string chargeLow;
    } cases[] = {
        // "при отказе сети" acts on the first record on battery: so does LB.
        {0, "13.5", true, "OB LB", "<none>"},
        {0, "13.5", false, "OL", "<none>"},
        // "при 50% батареи": 11.0 V on battery is 77 percent, 10.6 V is 46.
        {2, "11.0", true, "OB", "50"},
        {2, "10.6", true, "OB LB", "50"},
        {2, "10.6", false, "OL", "50"},
        {1, "11.0", true, "OB LB", "80"},
        {5, "10.6", true, "OB", "10"},
        {6, "10.0", true, "OB", "<none>"},
        {-1, "10.0", true, "OB", "<none>"},
    };
    for (const auto& c : cases) {
        MonitorRig rig;
        rig.state.TriggerIndex = c.trigger;
        rig.countdown.result = CountdownCancelled;
        rig.TickWith(PowerRecord(c.battery, c.onBattery));
        EXPECT_EQ(Status(rig), c.status) << c.trigger << " " << c.battery;
        EXPECT_EQ(Variable(rig.nut.Snapshot(), "battery.charge.low"), c.chargeLow) << c.trigger;
    }
}

TEST(NutFeed, TheUpsOwnLowBatteryFlagStandsWhateverTheTrigger) {
    MonitorRig rig;
    rig.state.TriggerIndex = 6;
    RecordFields f;
    f.battery = "10.2";
    f.flags = "11001001";
    rig.TickWith(BuildRecord(f));
    EXPECT_EQ(Status(rig), "OB LB");
}

// The shutdown through the countdown's go, with the UPS switch-off "5 минут" and hibernation.
class NutPrimary : public ::testing::Test {
protected:
    void SetUp() override {
        rig.state.TriggerIndex = 0;
        rig.state.MethodIndex = 1;
        rig.state.UpsOffIndex = 5;
        rig.nut.SetSecondaryWait(&wait);
    }
    std::vector<std::string> Commands() const {
        std::vector<std::string> commands;
        for (const auto& w : rig.port.writes) {
            if (w != "Q1\r") {
                commands.push_back(w);
            }
        }
        return commands;
    }
    MonitorRig rig;
    fakes::FakeSecondaryWait wait;
};

TEST_F(NutPrimary, FsdThenTheWaitThenTheUpsCommandAndThePowerRequest) {
    std::string statusDuringCountdown;
    rig.countdown.whileShowing = [&](std::uint16_t&) { statusDuringCountdown = Status(rig); };
    std::string statusDuringWait;
    std::vector<std::string> commandsDuringWait;
    std::size_t requestsDuringWait = 99;
    wait.whileWaiting = [&] {
        statusDuringWait = Status(rig);
        commandsDuringWait = Commands();
        requestsDuringWait = rig.power.actions.size();
    };
    rig.TickWith(PowerRecord("13.5", true));

    // A countdown can still be cancelled: no FSD while it shows.
    EXPECT_EQ(statusDuringCountdown, "OB LB");
    EXPECT_EQ(wait.waits, 1);
    EXPECT_EQ(statusDuringWait, "FSD OB LB");
    EXPECT_TRUE(commandsDuringWait.empty()) << commandsDuringWait[0];
    EXPECT_EQ(requestsDuringWait, 0u);
    EXPECT_EQ(Commands(), std::vector<std::string>{"S05R0000\r"});
    EXPECT_EQ(rig.power.actions, std::vector<PowerAction>{PowerAction::Hibernate});
    EXPECT_EQ(Status(rig), "FSD OB LB");
}

TEST_F(NutPrimary, ACountdownThatDidNotGoNeverSetsFsd) {
    for (const int result : {CountdownCancelled, CountdownProgramEnding}) {
        MonitorRig other;
        other.state.TriggerIndex = 0;
        other.nut.SetSecondaryWait(&wait);
        other.countdown.result = result;
        other.TickWith(PowerRecord("13.5", true));
        EXPECT_EQ(Status(other), "OB LB") << result;
        EXPECT_FALSE(other.nut.Snapshot().forcedShutdown) << result;
    }
    EXPECT_EQ(wait.waits, 0);
}

TEST_F(NutPrimary, WithoutAServerFsdIsStillSetAndTheShutdownGoesOn) {
    rig.nut.SetSecondaryWait(nullptr);
    rig.TickWith(PowerRecord("13.5", true));
    EXPECT_EQ(Status(rig), "FSD OB LB");
    EXPECT_EQ(rig.power.actions, std::vector<PowerAction>{PowerAction::Hibernate});
}

TEST_F(NutPrimary, TicksGoOnDuringTheWaitAndMainsBackClearFsdOnlyAfterIt) {
    // The UPS answers each nested tick's query a tick later, mains present all along.
    rig.port.AnswerQueries(
        {PowerRecord("13.5", false), PowerRecord("13.5", false), PowerRecord("13.5", false)});
    std::vector<std::string> statusDuringWait;
    wait.whileWaiting = [&] {
        for (int i = 0; i < 3; ++i) {
            rig.Tick();
            statusDuringWait.push_back(Status(rig));
        }
    };
    rig.TickWith(PowerRecord("13.5", true));
    // Mains back while the secondaries shut down: they were told, and FSD stays.
    EXPECT_EQ(statusDuringWait, (std::vector<std::string>{"FSD OB LB", "FSD OL", "FSD OL"}));
    EXPECT_EQ(rig.power.actions, std::vector<PowerAction>{PowerAction::Hibernate});

    // After the shutdown went through (the computer resumed), mains present clear it.
    rig.Tick();
    EXPECT_EQ(Status(rig), "OL");
    EXPECT_FALSE(rig.nut.Snapshot().forcedShutdown);
}

TEST_F(NutPrimary, OnBatteryAfterTheShutdownKeepsFsd) {
    rig.TickWith(PowerRecord("13.5", true));
    rig.TickWith(PowerRecord("13.4", true));
    EXPECT_EQ(Status(rig), "FSD OB LB");
    EXPECT_EQ(rig.countdown.runs.size(), 1u);
}

TEST(NutStartup, SettingsFromSectionNut) {
    fakes::FakeSettingsStore store;
    store.files["/fake/work/UPSZelto.ini"] =
        "[UPS]\r\nNutServer=1\r\n[NUT]\r\nNutServer=1\r\nNutPort=13493\r\nNutUsers=mon:pw\r\n"
        "NutListen=192.168.1.5, nowhere\r\nNutFsdWait=700\r\n";
    Settings settings(store);
    const NutSettingsRead read = ReadNutServerSettings(settings);
    EXPECT_TRUE(read.settings.enabled);
    EXPECT_EQ(read.settings.port, 13493);
    EXPECT_EQ(read.settings.listen, std::vector<std::string>{"192.168.1.5"});
    ASSERT_EQ(read.settings.users.size(), 1u);
    EXPECT_EQ(read.settings.users[0].name, "mon");
    EXPECT_EQ(read.settings.fsdWaitSeconds, 20);
    EXPECT_EQ(read.problems, (std::vector<std::string>{"NutListen=nowhere", "NutFsdWait=700"}));

    store.files["/fake/work/UPSZelto.ini"] = "[UPS]\r\nNutServer=1\r\n";
    EXPECT_FALSE(ReadNutServerSettings(settings).settings.enabled);
}

TEST(NutStartup, OneReportForEverythingThatWentWrong) {
    EXPECT_EQ(NutStartupReport({}, {}), "");
    EXPECT_EQ(NutStartupReport({"NutPort=0", "NutUsers=bob"}, {}),
              "Сервер NUT: неверные значения в разделе [NUT] файла UPSZelto.ini, вместо них "
              "действуют значения по умолчанию: NutPort=0, NutUsers=bob");
    EXPECT_EQ(NutStartupReport({}, {"127.0.0.1:3493 (in use)"}),
              "Сервер NUT не смог открыть 127.0.0.1:3493 (in use)");
    EXPECT_EQ(NutStartupReport({"NutPort=0"}, {"[::1]:3493 (no)", "10.0.0.1:3493 (no)"}),
              "Сервер NUT: неверные значения в разделе [NUT] файла UPSZelto.ini, вместо них "
              "действуют значения по умолчанию: NutPort=0.\n"
              "Сервер NUT не смог открыть [::1]:3493 (no), 10.0.0.1:3493 (no)");
    EXPECT_EQ(NutEndpointText("127.0.0.1", 3493), "127.0.0.1:3493");
    EXPECT_EQ(NutEndpointText("::1", 13493), "[::1]:13493");
}

}  // namespace
}  // namespace zelto
