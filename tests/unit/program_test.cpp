// Start-up and the list handlers of the main window, without a window.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/program_rig.h"
#include "tests/support/status_records.h"

namespace zelto::fakes {
namespace {

TEST(StartUp, EmptyDirectoryGivesDefaultsAndWritesOnlyThePort) {
    ProgramRig rig;
    rig.portTable.ports = {{"ttyS1", "/dev/ttyS1"}, {"ttyS0", "/dev/ttyS0"}};
    rig.program.FormCreate();

    EXPECT_EQ(rig.view.policy[PolicyList::Trigger], 0);
    EXPECT_EQ(rig.view.policy[PolicyList::Method], 0);
    EXPECT_EQ(rig.view.policy[PolicyList::UpsDelay], 0);
    EXPECT_EQ(rig.program.State().CountdownSeconds, 10);
    EXPECT_EQ(rig.view.portNames, (std::vector<std::string>{"ttyS0", "ttyS1"}));
    EXPECT_EQ(rig.view.portIndex, 0);
    EXPECT_EQ(rig.port.openedPath, "/dev/ttyS0");
    EXPECT_EQ(rig.SettingsFile(), "[UPS]\nCOMPort=0\n");
    EXPECT_EQ(rig.view.caption, "ZELTO Homeline");
    EXPECT_EQ(rig.view.trayIcons, 1);
    // The first tick ran: one status query went out before any window showed.
    EXPECT_EQ(rig.port.WritesOf("Q1\r"), 1);
    EXPECT_TRUE(rig.errors.texts.empty());
    // The order in which the window is filled.
    EXPECT_EQ(rig.view.calls, (std::vector<std::string>{"policy 0 0", "policy 1 0", "policy 2 0",
                                                        "tray", "ports", "port 0", "caption"}));
}

TEST(StartUp, NoSystemPortsStoresMinusOne) {
    ProgramRig rig;
    rig.program.FormCreate();
    EXPECT_TRUE(rig.view.portNames.empty());
    EXPECT_EQ(rig.view.portIndex, -1);
    EXPECT_FALSE(rig.port.IsOpen());
    EXPECT_EQ(rig.SettingsFile(), "[UPS]\nCOMPort=-1\n");
}

TEST(StartUp, StoredValuesAndOutOfRangeIndexes) {
    ProgramRig rig;
    rig.portTable.ports = {{"ttyS0", "/dev/ttyS0"}};
    rig.WriteSettingsFile(
        "[UPS]\r\nCompOff=7\r\nOffMethod=2\r\nOffUPS=$A\r\nOFFAfter=65535\r\nCOMPort=3\r\n");
    rig.program.FormCreate();
    EXPECT_EQ(rig.view.policy[PolicyList::Trigger], -1);  // 7 is past "никогда"
    EXPECT_EQ(rig.view.policy[PolicyList::Method], 2);
    EXPECT_EQ(rig.view.policy[PolicyList::UpsDelay], 10);
    EXPECT_EQ(rig.program.State().TriggerIndex, -1);
    EXPECT_EQ(rig.program.State().UpsOffIndex, 10);
    EXPECT_EQ(rig.program.State().CountdownSeconds, 65535);
    // A stored port past the list: nothing opened, -1 written back in place.
    EXPECT_EQ(rig.view.portIndex, -1);
    EXPECT_FALSE(rig.port.IsOpen());
    EXPECT_EQ(rig.SettingsFile(),
              "[UPS]\r\nCompOff=7\r\nOffMethod=2\r\nOffUPS=$A\r\nOFFAfter=65535\r\nCOMPort=-1\r\n");
    EXPECT_TRUE(rig.errors.texts.empty());
}

// The last entry of each list, stored in the settings file, comes back selected and does what it
// says once the mains fail on an empty battery.
TEST(StartUp, TheLastEntryOfEachListLoadsAndActs) {
    const struct {
        const char* file;
        int trigger, method, upsDelay;  // the selections shown
        std::size_t countdowns;
        std::vector<PowerAction> actions;
        std::vector<std::string> commands;  // sent to the UPS besides the status queries
    } cases[] = {
        // "никогда" never acts, however low the battery.
        {"[UPS]\nCOMPort=0\nCompOff=6\nOffMethod=0\nOffUPS=0\n", 6, 0, 0, 0, {}, {}},
        // "Ждущий режим" asks for stand-by; "10 минут" sends the tenth minute code.
        {"[UPS]\nCOMPort=0\nCompOff=0\nOffMethod=2\nOffUPS=10\n",
         0,
         2,
         10,
         1,
         {PowerAction::Suspend},
         {"S10R0000\r"}},
        // "при 10% батареи" acts at 8 %.
        {"[UPS]\nCOMPort=0\nCompOff=5\nOffMethod=1\nOffUPS=1\n",
         5,
         1,
         1,
         1,
         {PowerAction::Hibernate},
         {"S01R0000\r"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        ProgramRig rig;
        rig.portTable.ports = {{"ttyS0", "/dev/ttyS0"}};
        rig.WriteSettingsFile(c.file);
        rig.program.FormCreate();
        EXPECT_EQ(rig.view.policy[PolicyList::Trigger], c.trigger);
        EXPECT_EQ(rig.view.policy[PolicyList::Method], c.method);
        EXPECT_EQ(rig.view.policy[PolicyList::UpsDelay], c.upsDelay);

        rig.port.Arrive(PowerRecord("10.1", true));
        rig.program.Timer1Timer();
        EXPECT_EQ(rig.display.charge, "8 %");
        EXPECT_EQ(rig.countdown.runs.size(), c.countdowns);
        EXPECT_EQ(rig.power.actions, c.actions);
        std::vector<std::string> commands;
        for (const auto& write : rig.port.writes) {
            if (write != "Q1\r") {
                commands.push_back(write);
            }
        }
        EXPECT_EQ(commands, c.commands);
        EXPECT_TRUE(rig.errors.texts.empty());
    }
}

TEST(StartUp, BadValuesAreReportedAndStartUpGoesOn) {
    ProgramRig rig;
    rig.portTable.ports = {{"ttyS0", "/dev/ttyS0"}};
    rig.WriteSettingsFile("[UPS]\nCompOff=abc\nOFFAfter=70000\nOffUPS=\nCOMPort=0\n");
    rig.program.FormCreate();
    EXPECT_EQ(rig.errors.texts,
              (std::vector<std::string>{"'abc' is not a valid integer value",
                                        "'' is not a valid integer value", "Range check error"}));
    EXPECT_EQ(rig.view.policy[PolicyList::Trigger], -1);
    EXPECT_EQ(rig.view.policy[PolicyList::UpsDelay], -1);
    EXPECT_EQ(rig.view.policy[PolicyList::Method], 0);
    EXPECT_EQ(rig.program.State().CountdownSeconds, 10);
    // Everything after the bad values still came up.
    EXPECT_EQ(rig.view.trayIcons, 1);
    EXPECT_EQ(rig.port.openedPath, "/dev/ttyS0");
    EXPECT_EQ(rig.view.caption, "ZELTO Homeline");
    EXPECT_EQ(rig.port.WritesOf("Q1\r"), 1);
}

TEST(StartUp, PortsSettingReplacesTheSystemTable) {
    ProgramRig rig;
    rig.portTable.ports = {{"ttyS0", "/dev/ttyS0"}};
    rig.WriteSettingsFile("; mine\n[UPS]\nPorts=/tmp/sim/ups;/dev/ups\nCOMPort=1\n[Other]\nk=v\n");
    rig.program.FormCreate();
    EXPECT_EQ(rig.view.portNames, (std::vector<std::string>{"/dev/ups", "/tmp/sim/ups"}));
    EXPECT_EQ(rig.port.openedPath, "/tmp/sim/ups");
    EXPECT_EQ(rig.SettingsFile(),
              "; mine\n[UPS]\nPorts=/tmp/sim/ups;/dev/ups\nCOMPort=1\n[Other]\nk=v\n");
}

TEST(StartUp, APortTableEntryThatIsNotAStringStopsOnlyThePortList) {
    ProgramRig rig;
    rig.portTable.badEntry = true;
    rig.program.FormCreate();
    EXPECT_EQ(rig.errors.texts, (std::vector<std::string>{"Invalid data type for 'Serial7'"}));
    EXPECT_TRUE(rig.view.portNames.empty());
    EXPECT_EQ(rig.view.caption, "ZELTO Homeline");
}

TEST(StartUp, RefusedWriteLeavesThePortClosedButPollingRuns) {
    ProgramRig rig;
    rig.portTable.ports = {{"ttyS0", "/dev/ttyS0"}};
    rig.store.refuseWrites = true;
    rig.program.FormCreate();
    EXPECT_EQ(rig.errors.texts,
              (std::vector<std::string>{"Unable to write to /fake/work/UPSZelto.ini"}));
    EXPECT_FALSE(rig.port.IsOpen());
    EXPECT_EQ(rig.view.portIndex, 0);
    EXPECT_EQ(rig.view.caption, "ZELTO Homeline");
}

TEST(PortList, EveryChangeStoresTheIndexThenReopensAndPurges) {
    ProgramRig rig;
    rig.portTable.ports = {{"ttyS0", "/dev/ttyS0"}, {"ttyUSB0", "/dev/ttyUSB0"}};
    rig.program.FormCreate();
    rig.port.Arrive("stale bytes");
    rig.program.ComboBox4Change(1);
    EXPECT_EQ(rig.port.openedPath, "/dev/ttyUSB0");
    EXPECT_EQ(rig.port.ComInputCount(), 0u);
    EXPECT_EQ(rig.SettingsFile(), "[UPS]\nCOMPort=1\n");

    // The same port again is closed and opened again too.
    rig.port.Arrive("more");
    rig.program.ComboBox4Change(1);
    EXPECT_TRUE(rig.port.IsOpen());
    EXPECT_EQ(rig.port.ComInputCount(), 0u);
}

TEST(PortList, RefusedWriteKeepsThePreviousPortInUse) {
    ProgramRig rig;
    rig.portTable.ports = {{"ttyS0", "/dev/ttyS0"}, {"ttyUSB0", "/dev/ttyUSB0"}};
    rig.program.FormCreate();
    rig.store.refuseWrites = true;
    rig.program.ComboBox4Change(1);
    EXPECT_EQ(rig.errors.texts,
              (std::vector<std::string>{"Unable to write to /fake/work/UPSZelto.ini"}));
    EXPECT_TRUE(rig.port.IsOpen());
    EXPECT_EQ(rig.port.openedPath, "/dev/ttyS0");
    EXPECT_EQ(rig.SettingsFile(), "[UPS]\nCOMPort=0\n");
}

TEST(PolicyLists, ChangesAreStoredAtOnceAndApplyEvenWhenRefused) {
    ProgramRig rig;
    rig.program.FormCreate();
    rig.program.PolicyChanged(PolicyList::Trigger, 3);
    rig.program.PolicyChanged(PolicyList::Method, 1);
    rig.program.PolicyChanged(PolicyList::UpsDelay, 5);
    EXPECT_EQ(rig.SettingsFile(), "[UPS]\nCOMPort=-1\nCompOff=3\nOffMethod=1\nOffUPS=5\n");

    rig.store.refuseWrites = true;
    rig.program.PolicyChanged(PolicyList::Method, 2);
    EXPECT_EQ(rig.program.State().MethodIndex, 2);
    EXPECT_EQ(rig.errors.texts.size(), 1u);
    EXPECT_EQ(rig.SettingsFile(), "[UPS]\nCOMPort=-1\nCompOff=3\nOffMethod=1\nOffUPS=5\n");
}

}  // namespace
}  // namespace zelto::fakes

namespace zelto::fakes {
namespace {

TEST(LostPort, MissingAtStartUpIsReopenedQuietlyEveryFewTicks) {
    ProgramRig rig;
    rig.portTable.ports = {{"ttyUSB0", "/dev/ttyUSB0"}};
    rig.port.refuseOpen = true;
    rig.program.FormCreate();
    EXPECT_FALSE(rig.port.IsOpen());
    const int writesBefore = rig.store.writes;

    rig.port.refuseOpen = false;  // plugged in
    rig.port.openedPath.clear();
    // Start-up ran the first tick already; the third tries again.
    rig.program.Timer1Timer();
    EXPECT_FALSE(rig.port.IsOpen()) << "reopened on the second tick";
    rig.program.Timer1Timer();
    ASSERT_TRUE(rig.port.IsOpen());
    EXPECT_EQ(rig.port.openedPath, "/dev/ttyUSB0");
    // The retry sent this tick's query on the reopened port, wrote no settings, showed no box.
    EXPECT_EQ(rig.port.writes.back(), "Q1\r");
    EXPECT_EQ(rig.store.writes, writesBefore);
    EXPECT_TRUE(rig.errors.texts.empty());
}

TEST(LostPort, VanishedWhileOpenComesBackAndTheLinkRecovers) {
    ProgramRig rig;
    rig.portTable.ports = {{"ttyUSB0", "/dev/ttyUSB0"}};
    rig.program.FormCreate();
    rig.port.ComClose();  // the adapter was pulled: the port layer closed the dead port
    rig.port.refuseOpen = true;
    // Two refused attempts, on the third and the sixth tick.
    for (int tick = 0; tick < 6; ++tick) {
        rig.program.Timer1Timer();
    }
    EXPECT_FALSE(rig.program.State().LinkOk);
    rig.port.refuseOpen = false;
    // Every third tick tries again: not the next two, then the third.
    for (int tick = 0; tick < 2; ++tick) {
        rig.program.Timer1Timer();
        EXPECT_FALSE(rig.port.IsOpen()) << "reopened too soon, tick " << tick;
    }
    rig.program.Timer1Timer();
    ASSERT_TRUE(rig.port.IsOpen());
    rig.port.Arrive(std::string("(228.0 228.0 228.0 015 50.0 13.6 35.0 00001001\r"));
    rig.program.Timer1Timer();
    EXPECT_TRUE(rig.program.State().LinkOk);
    rig.program.Timer1Timer();
    EXPECT_EQ(rig.display.linkState, true);
}

TEST(LostPort, NoChosenPortIsNeverOpened) {
    ProgramRig rig;
    rig.program.FormCreate();
    for (int tick = 0; tick < 9; ++tick) {
        rig.program.Timer1Timer();
    }
    EXPECT_FALSE(rig.port.IsOpen());
    EXPECT_TRUE(rig.port.openedPath.empty());
}

TEST(LostPort, AfterARefusedWriteThePortInUseIsTheOneKept) {
    ProgramRig rig;
    rig.portTable.ports = {{"ttyS0", "/dev/ttyS0"}, {"ttyUSB0", "/dev/ttyUSB0"}};
    rig.program.FormCreate();
    rig.store.refuseWrites = true;
    rig.program.ComboBox4Change(1);
    rig.port.ComClose();
    for (int tick = 0; tick < 3; ++tick) {
        rig.program.Timer1Timer();
    }
    EXPECT_EQ(rig.port.openedPath, "/dev/ttyS0");
}

TEST(PortList, OpeningTheListFollowsDevicesAndKeepsTheChoice) {
    ProgramRig rig;
    rig.portTable.ports = {{"ttyUSB0", "/dev/ttyUSB0"}, {"ttyUSB1", "/dev/ttyUSB1"}};
    rig.WriteSettingsFile("[UPS]\nCOMPort=1\n");
    rig.program.FormCreate();
    ASSERT_EQ(rig.port.openedPath, "/dev/ttyUSB1");

    // A device sorting before the chosen one appears: the choice moves down with its port and
    // the stored index follows it.
    rig.portTable.ports.push_back({"ttyACM0", "/dev/ttyACM0"});
    rig.program.RefreshPortList();
    EXPECT_EQ(rig.view.portNames, (std::vector<std::string>{"ttyACM0", "ttyUSB0", "ttyUSB1"}));
    EXPECT_EQ(rig.view.portIndex, 2);
    EXPECT_EQ(rig.SettingsFile(), "[UPS]\nCOMPort=2\n");

    // The chosen port is unplugged: it stays listed and selected, so it is reopened when it
    // comes back; others that vanished leave the list.
    rig.portTable.ports = {{"ttyS0", "/dev/ttyS0"}};
    rig.program.RefreshPortList();
    EXPECT_EQ(rig.view.portNames, (std::vector<std::string>{"ttyS0", "ttyUSB1"}));
    EXPECT_EQ(rig.view.portIndex, 1);
    EXPECT_EQ(rig.SettingsFile(), "[UPS]\nCOMPort=1\n");
    EXPECT_TRUE(rig.errors.texts.empty());
}

}  // namespace
}  // namespace zelto::fakes
