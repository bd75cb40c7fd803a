// What the NUT server publishes, fed by the poll cycle: the record's fields, the program's own
// charge and trigger as LB, the state of the link, and FSD around the committed shutdown. Also
// the server's settings as start-up reads and reports them.

#include <gtest/gtest.h>

#include <chrono>
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

// The shutdown through the countdown's go, with the UPS switch-off "5 минут" and hibernation, a
// server whose one secondary is logged in, and a wait of 20 s.
class NutPrimary : public ::testing::Test {
protected:
    void SetUp() override {
        rig.state.TriggerIndex = 0;
        rig.state.MethodIndex = 1;
        rig.state.UpsOffIndex = 5;
        rig.nut.SetServerClients(&clients);
        secondary = *clients.Open("127.0.0.1", rig.steadyNow);
        clients.Receive(secondary, "USERNAME monuser\nPASSWORD s3cret\nLOGIN zelto\n",
                        rig.steadyNow);
        ASSERT_EQ(clients.LoginCount(), 1);
    }
    static NutSettings ServerSettings() {
        NutSettings settings;
        settings.users = {{"monuser", "s3cret"}};
        return settings;
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
    // The go, `seconds` later.
    void GoAfter(int seconds) {
        rig.steadyNow += std::chrono::seconds(seconds);
        rig.monitor.CountdownAnswered(CountdownGo);
    }
    void TickAfter(int seconds) {
        rig.steadyNow += std::chrono::seconds(seconds);
        rig.Tick();
    }
    MonitorRig rig;
    NutClients clients{ServerSettings(), "1.0.0", rig.nut.Snapshot()};
    NutClients::Id secondary = 0;
};

TEST_F(NutPrimary, FsdThenTheWaitThenTheUpsCommandAndThePowerRequest) {
    rig.TickWith(PowerRecord("13.5", true));
    // A countdown can still be cancelled: no FSD while it shows.
    EXPECT_EQ(Status(rig), "OB LB");
    GoAfter(3);
    EXPECT_EQ(Status(rig), "FSD OB LB");
    EXPECT_EQ(rig.state.ShutdownStep, ShutdownStage::WaitingForSecondaries);
    TickAfter(1);
    EXPECT_TRUE(Commands().empty());
    EXPECT_TRUE(rig.power.actions.empty());
    // The secondary shuts down and drops its connection: the next tick goes on.
    clients.Close(secondary);
    TickAfter(1);
    EXPECT_EQ(Commands(), std::vector<std::string>{"S05R0000\r"});
    EXPECT_EQ(rig.power.actions, std::vector<PowerAction>{PowerAction::Hibernate});
    EXPECT_EQ(Status(rig), "FSD OB LB");
    EXPECT_EQ(rig.port.WritesOf("Q1\r"), 3);
}

TEST_F(NutPrimary, ASecondaryThatStaysLoggedInIsWaitedForUntilTheTimeIsUp) {
    rig.TickWith(PowerRecord("13.5", true));
    GoAfter(1);
    TickAfter(19);
    EXPECT_TRUE(rig.power.actions.empty());
    TickAfter(1);
    EXPECT_EQ(rig.power.actions, std::vector<PowerAction>{PowerAction::Hibernate});
    EXPECT_EQ(Commands(), std::vector<std::string>{"S05R0000\r"});
}

TEST_F(NutPrimary, ACountdownThatDidNotGoNeverSetsFsd) {
    for (const int result : {CountdownCancelled, CountdownProgramEnding}) {
        MonitorRig other;
        other.state.TriggerIndex = 0;
        other.nut.SetServerClients(&clients);
        other.TickWith(PowerRecord("13.5", true));
        other.monitor.CountdownAnswered(result);
        other.Tick();
        EXPECT_EQ(Status(other), "OB LB") << result;
        EXPECT_FALSE(other.nut.Snapshot().forcedShutdown) << result;
        EXPECT_EQ(other.state.ShutdownStep, ShutdownStage::Idle);
    }
}

TEST_F(NutPrimary, WithoutAServerOrSecondariesFsdIsStillSetAndTheShutdownGoesOnAtOnce) {
    rig.nut.SetServerClients(nullptr);
    rig.TickWith(PowerRecord("13.5", true));
    GoAfter(0);
    EXPECT_EQ(Status(rig), "FSD OB LB");
    EXPECT_EQ(rig.power.actions, std::vector<PowerAction>{PowerAction::Hibernate});

    MonitorRig nobody;
    nobody.state.MethodIndex = 1;
    NutClients none{ServerSettings(), "1.0.0", nobody.nut.Snapshot()};
    nobody.nut.SetServerClients(&none);
    nobody.ShutdownAnswered(CountdownGo);
    EXPECT_EQ(nobody.power.actions, std::vector<PowerAction>{PowerAction::Hibernate});
}

TEST_F(NutPrimary, TicksGoOnDuringTheWaitAndMainsBackClearFsdOnlyAfterIt) {
    // The UPS answers each tick's query a tick later, mains present all along.
    rig.port.AnswerQueries(
        {PowerRecord("13.5", false), PowerRecord("13.5", false), PowerRecord("13.5", false)});
    rig.TickWith(PowerRecord("13.5", true));
    GoAfter(0);
    std::vector<std::string> statusDuringWait;
    for (int i = 0; i < 3; ++i) {
        TickAfter(1);
        statusDuringWait.push_back(Status(rig));
    }
    // Mains back while the secondaries shut down: they were told, and FSD stays; nor does the
    // mains record end the committed shutdown.
    EXPECT_EQ(statusDuringWait, (std::vector<std::string>{"FSD OL", "FSD OL", "FSD OL"}));
    EXPECT_TRUE(rig.power.actions.empty());
    TickAfter(20);
    EXPECT_EQ(rig.power.actions, std::vector<PowerAction>{PowerAction::Hibernate});

    // After the shutdown went through (the computer resumed), mains present clear it.
    rig.TickWith(PowerRecord("13.5", false));
    EXPECT_EQ(Status(rig), "OL");
    EXPECT_FALSE(rig.nut.Snapshot().forcedShutdown);
}

TEST_F(NutPrimary, OnBatteryAfterTheShutdownKeepsFsd) {
    rig.TickWith(PowerRecord("13.5", true));
    GoAfter(0);
    rig.steadyNow += std::chrono::seconds(21);
    rig.TickWith(PowerRecord("13.4", true));
    ASSERT_EQ(rig.power.actions.size(), 1u);
    rig.TickWith(PowerRecord("13.3", true));
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
    const Language ru = Language::Russian;
    EXPECT_EQ(NutStartupReport(ru, {}, {}), "");
    EXPECT_EQ(NutStartupReport(ru, {"NutPort=0", "NutUsers=bob"}, {}),
              "Сервер NUT: неверные значения в разделе [NUT] файла UPSZelto.ini, вместо них "
              "действуют значения по умолчанию: NutPort=0, NutUsers=bob");
    EXPECT_EQ(NutStartupReport(ru, {}, {"127.0.0.1:3493 (in use)"}),
              "Сервер NUT не смог открыть 127.0.0.1:3493 (in use)");
    EXPECT_EQ(NutStartupReport(ru, {"NutPort=0"}, {"[::1]:3493 (no)", "10.0.0.1:3493 (no)"}),
              "Сервер NUT: неверные значения в разделе [NUT] файла UPSZelto.ini, вместо них "
              "действуют значения по умолчанию: NutPort=0.\n"
              "Сервер NUT не смог открыть [::1]:3493 (no), 10.0.0.1:3493 (no)");
    EXPECT_EQ(NutStartupReport(Language::English, {"NutPort=0"}, {"127.0.0.1:3493 (in use)"}),
              "NUT server: wrong values in the [NUT] section of UPSZelto.ini; the defaults apply "
              "instead: NutPort=0.\nThe NUT server could not open 127.0.0.1:3493 (in use)");
    EXPECT_EQ(NutEndpointText("127.0.0.1", 3493), "127.0.0.1:3493");
    EXPECT_EQ(NutEndpointText("::1", 13493), "[::1]:13493");
}

}  // namespace
}  // namespace zelto
