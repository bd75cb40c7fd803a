// Start-up and the list handlers of the main window, without a window.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/monitor/pictures.h"
#include "tests/support/program_rig.h"
#include "tests/support/status_records.h"

namespace zelto::fakes {
namespace {

TEST(StartUp, EmptyDirectoryGivesDefaultsAndRemembersOnlyThePort) {
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
    EXPECT_EQ(rig.SettingsFile(), "[UPS]\nCOMPortPath=/dev/ttyS0\nCOMPort=0\n");
    EXPECT_EQ(rig.view.caption, "ZELTO Homeline");
    EXPECT_EQ(rig.view.trayIcons, 1);
    // The first tick ran: one status query went out before any window showed.
    EXPECT_EQ(rig.port.WritesOf("Q1\r"), 1);
    EXPECT_TRUE(rig.errors.texts.empty());
    // The order in which the window is filled.
    EXPECT_EQ(rig.view.calls, (std::vector<std::string>{"policy 0 0", "policy 1 0", "policy 2 0",
                                                        "tray", "ports", "port 0", "caption"}));
}

// ---- Language ------------------------------------------------------------------------------

std::set<std::string> Placeholders(std::string_view text) {
    std::set<std::string> found;
    for (std::size_t at = 0; at + 2 < text.size(); ++at) {
        if (text[at] == '{' && text[at + 2] == '}' && text[at + 1] >= '1' && text[at + 1] <= '9') {
            found.insert(std::string(text.substr(at, 3)));
        }
    }
    return found;
}

TEST(Texts, EachLanguageHasEveryTextWithTheSamePlaceholders) {
    const TextTable& russian = RussianTexts();
    const TextTable& english = EnglishTexts();
    for (std::size_t i = 0; i < kTextCount; ++i) {
        SCOPED_TRACE(i);
        // In the order of the ids: a row left out or written twice shifts the rest.
        EXPECT_EQ(static_cast<std::size_t>(russian[i].id), i);
        EXPECT_EQ(static_cast<std::size_t>(english[i].id), i);
        EXPECT_FALSE(russian[i].text.empty());
        EXPECT_FALSE(english[i].text.empty());
        EXPECT_EQ(Placeholders(russian[i].text), Placeholders(english[i].text));
        // No Russian left behind in the English table (Cyrillic letters lead with D0-D3).
        EXPECT_EQ(std::count_if(english[i].text.begin(), english[i].text.end(),
                                [](char c) {
                                    const auto byte = static_cast<unsigned char>(c);
                                    return byte >= 0xD0 && byte <= 0xD3;
                                }),
                  0)
            << english[i].text;
    }
}

TEST(Texts, ValuesTakeTheirPlacesAndTheSettingChoosesTheLanguage) {
    EXPECT_EQ(Text(Language::English, TextId::PortAccessGroup, {"dialout"}),
              ": only members of the group dialout may open it. Add yourself with \"sudo usermod "
              "-aG dialout $USER\", then log out and log in again.");
    // What a value holds is never read as a place of its own.
    EXPECT_EQ(Text(Language::Russian, TextId::CheckAnswered, {"ERR {1}{2}"}),
              "Сервер ответил: ERR {1}{2}");
    const struct {
        const char* settings;
        Language language;
    } cases[] = {
        {"", Language::Russian},
        {"[UPS]\nLanguage=ru\n", Language::Russian},
        {"[UPS]\nLanguage=en\n", Language::English},
        {"[UPS]\nLanguage= EN \n", Language::English},
        {"[UPS]\nLanguage=de\n", Language::Russian},
        {"[NUT]\nLanguage=en\n", Language::Russian},
    };
    for (const auto& c : cases) {
        ProgramRig rig(c.settings);
        EXPECT_EQ(rig.program.State().language, c.language) << c.settings;
    }
}

// The Windows setup's script says what the table says: each of its texts in both languages, and
// the question shown before a language is chosen, in both at once.
TEST(Texts, TheSetupSaysWhatTheTableSays) {
    std::ifstream script(ZELTO_SOURCE_DIR "/packaging/windows/setup_texts.nsh");
    ASSERT_TRUE(script.is_open());
    const auto unescaped = [](std::string text) {
        for (std::size_t at = 0; (at = text.find("$\\n", at)) != std::string::npos; ++at) {
            text.replace(at, 3, "\n");
        }
        return text;
    };
    const std::regex langString(R"re(LangString (\w+) \$\{LANG_(RUSSIAN|ENGLISH)\} "(.*)")re");
    const std::regex question(R"re(!define MUI_LANGDLL_INFO "(.*)")re");
    std::map<std::string, std::map<Language, std::string>> said;
    std::string asked;
    for (std::string line; std::getline(script, line);) {
        std::smatch match;
        if (std::regex_match(line, match, langString)) {
            const Language language = match[2] == "ENGLISH" ? Language::English : Language::Russian;
            said[match[1]][language] = unescaped(match[3]);
        } else if (std::regex_match(line, match, question)) {
            asked = unescaped(match[1]);
        }
    }
    const std::map<std::string, TextId> ids = {
        {"SetupRunNow", TextId::SetupRunNow},
        {"SetupStartWithWindows", TextId::SetupStartWithWindows},
        {"SetupStillRunning", TextId::SetupStillRunning},
        {"SetupStillRunningEndIt", TextId::SetupStillRunningEndIt},
    };
    EXPECT_EQ(said.size(), ids.size());
    for (const auto& [name, id] : ids) {
        for (const Language language : {Language::Russian, Language::English}) {
            EXPECT_EQ(said[name][language], Text(language, id)) << name;
        }
    }
    EXPECT_EQ(asked, std::string(Text(Language::Russian, TextId::SetupLanguageQuestion)) + "\n" +
                         std::string(Text(Language::English, TextId::SetupLanguageQuestion)));
}

TEST(StartUp, StoredValuesAndAPortPastTheList) {
    ProgramRig rig;
    rig.portTable.ports = {{"ttyS0", "/dev/ttyS0"}};
    rig.WriteSettingsFile(
        "[UPS]\r\nCompOff=6\r\nOffMethod=2\r\nOffUPS=$A\r\nOFFAfter=65535\r\nCOMPort=3\r\n");
    rig.program.FormCreate();
    EXPECT_EQ(rig.view.policy[PolicyList::Trigger], 6);
    EXPECT_EQ(rig.view.policy[PolicyList::Method], 2);
    EXPECT_EQ(rig.view.policy[PolicyList::UpsDelay], 10);
    EXPECT_EQ(rig.program.State().TriggerIndex, 6);
    EXPECT_EQ(rig.program.State().UpsOffIndex, 10);
    EXPECT_EQ(rig.program.State().CountdownSeconds, 65535);
    // A stored port past the list: nothing opened, and nothing written over it.
    EXPECT_EQ(rig.view.portIndex, -1);
    EXPECT_FALSE(rig.port.IsOpen());
    EXPECT_EQ(rig.SettingsFile(),
              "[UPS]\r\nCompOff=6\r\nOffMethod=2\r\nOffUPS=$A\r\nOFFAfter=65535\r\nCOMPort=3\r\n");
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
        rig.program.CountdownAnswered(CountdownGo);
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
    // The bad values act as their defaults, shown selected.
    EXPECT_EQ(rig.view.policy[PolicyList::Trigger], 0);
    EXPECT_EQ(rig.view.policy[PolicyList::UpsDelay], 0);
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
              "; mine\n[UPS]\nPorts=/tmp/sim/ups;/dev/ups\nCOMPort=1\nCOMPortPath=/"
              "tmp/sim/ups\n[Other]\nk=v\n");
}

// A bad policy value: reported once, then it acts as the key's default and shows as such, and
// the file keeps the user's text until the user picks from the list.
struct BadPolicyCase {
    const char* line;
    const char* error;
    PolicyList list;
};

TEST(StartUp, BadPolicyValueActsAsTheDefaultAndStaysInTheFile) {
    const BadPolicyCase cases[] = {
        {"CompOff=abc", "'abc' is not a valid integer value", PolicyList::Trigger},
        {"CompOff=7", "Range check error", PolicyList::Trigger},
        {"CompOff=-1", "Range check error", PolicyList::Trigger},
        {"OffMethod=", "'' is not a valid integer value", PolicyList::Method},
        {"OffMethod=3", "Range check error", PolicyList::Method},
        {"OffMethod=1.5", "'1.5' is not a valid integer value", PolicyList::Method},
        {"OffUPS=11", "Range check error", PolicyList::UpsDelay},
        {"OffUPS=ten", "'ten' is not a valid integer value", PolicyList::UpsDelay},
        {"OffUPS=99999999999", "'99999999999' is not a valid integer value", PolicyList::UpsDelay},
    };
    for (const auto& c : cases) {
        ProgramRig rig;
        rig.portTable.ports = {{"ttyS0", "/dev/ttyS0"}};
        const std::string file = std::string("[UPS]\r\n") + c.line + "\r\nCOMPort=0\r\n";
        rig.WriteSettingsFile(file);
        rig.program.FormCreate();
        EXPECT_EQ(rig.errors.texts, std::vector<std::string>{c.error}) << c.line;
        EXPECT_EQ(rig.view.policy[c.list], 0) << c.line;
        EXPECT_EQ(rig.program.State().TriggerIndex, 0) << c.line;
        EXPECT_EQ(rig.program.State().MethodIndex, 0) << c.line;
        EXPECT_EQ(rig.program.State().UpsOffIndex, 0) << c.line;
        // Only the port went back: the same index, and the path it stands for.
        EXPECT_EQ(rig.SettingsFile(), file + "COMPortPath=/dev/ttyS0\r\n") << c.line;
        EXPECT_EQ(rig.port.openedPath, "/dev/ttyS0") << c.line;

        // A pick replaces the text.
        rig.program.PolicyChanged(c.list, 1);
        EXPECT_NE(rig.SettingsFile().find("=1\r\n"), std::string::npos) << c.line;
        EXPECT_EQ(rig.SettingsFile().find(std::string(c.line) + "\r\n"), std::string::npos)
            << c.line;
    }
}

TEST(StartUp, BadMethodWithTheUpsSwitchOffStillPowersOffAfterTellingTheUps) {
    ProgramRig rig;
    rig.portTable.ports = {{"ttyS0", "/dev/ttyS0"}};
    rig.WriteSettingsFile("[UPS]\nCompOff=0\nOffMethod=x\nOffUPS=5\nOFFAfter=0\nCOMPort=0\n");
    rig.program.FormCreate();
    std::vector<std::string> writesAtRequest;
    rig.power.onRequest = [&](PowerAction) { writesAtRequest = rig.port.writes; };
    rig.port.Arrive("(228.0 228.0 000.0 015 50.0 12.0 35.0 10001001\r");
    rig.program.Timer1Timer();
    rig.program.Timer1Timer();

    EXPECT_EQ(rig.errors.texts, std::vector<std::string>{"'x' is not a valid integer value"});
    EXPECT_EQ(rig.countdown.runs, std::vector<std::uint16_t>{0});
    EXPECT_EQ(rig.power.actions, std::vector<PowerAction>{PowerAction::PowerOff});
    ASSERT_FALSE(writesAtRequest.empty());
    EXPECT_EQ(writesAtRequest.back(), "S05R0000\r");
}

TEST(StartUp, BadPortTextIsReportedActsAsTheFirstPortAndStays) {
    ProgramRig rig;
    rig.portTable.ports = {{"ttyS1", "/dev/ttyS1"}, {"ttyS0", "/dev/ttyS0"}};
    rig.WriteSettingsFile("[UPS]\nCOMPort=first\n");
    rig.program.FormCreate();
    EXPECT_EQ(rig.errors.texts, std::vector<std::string>{"'first' is not a valid integer value"});
    EXPECT_EQ(rig.view.portIndex, 0);
    EXPECT_EQ(rig.port.openedPath, "/dev/ttyS0");
    EXPECT_TRUE(rig.port.IsOpen());
    EXPECT_EQ(rig.port.WritesOf("Q1\r"), 1);
    EXPECT_EQ(rig.SettingsFile(), "[UPS]\nCOMPort=first\n");
    EXPECT_EQ(rig.store.writes, 0);

    // Until the user picks a port.
    rig.program.ComboBox4Change(1);
    EXPECT_EQ(rig.SettingsFile(), "[UPS]\nCOMPort=1\nCOMPortPath=/dev/ttyS1\n");
}

TEST(StartUp, RefusedWriteIsReportedOnceAndThePortIsPolledAnyway) {
    ProgramRig rig;
    rig.portTable.ports = {{"ttyS0", "/dev/ttyS0"}};
    rig.store.refuseWrites = true;
    rig.program.FormCreate();
    EXPECT_EQ(rig.errors.texts,
              (std::vector<std::string>{"Unable to write to /fake/work/UPSZelto.ini"}));
    EXPECT_TRUE(rig.port.IsOpen());
    EXPECT_EQ(rig.port.openedPath, "/dev/ttyS0");
    EXPECT_EQ(rig.port.writes, std::vector<std::string>{"Q1\r"});
    EXPECT_EQ(rig.view.portIndex, 0);
    EXPECT_EQ(rig.view.caption, "ZELTO Homeline");
    for (int tick = 0; tick < 5; ++tick) {
        rig.program.Timer1Timer();
    }
    EXPECT_EQ(rig.port.WritesOf("Q1\r"), 6);
    EXPECT_EQ(rig.errors.texts.size(), 1u);
}

TEST(StartUp, RememberedPathSelectsItsPortWhereverItSortsNow) {
    ProgramRig rig;
    // A new device sorts before the remembered one.
    rig.portTable.ports = {{"ttyUSB0", "/dev/ttyUSB0"}, {"ttyACM0", "/dev/ttyACM0"}};
    rig.WriteSettingsFile("[UPS]\nCOMPort=0\nCOMPortPath=/dev/ttyUSB0\n");
    rig.program.FormCreate();
    EXPECT_EQ(rig.view.portNames, (std::vector<std::string>{"ttyACM0", "ttyUSB0"}));
    EXPECT_EQ(rig.view.portIndex, 1);
    EXPECT_EQ(rig.port.openedPath, "/dev/ttyUSB0");
    EXPECT_EQ(rig.port.opens, 1);
    // The position follows the device.
    EXPECT_EQ(rig.SettingsFile(), "[UPS]\nCOMPort=1\nCOMPortPath=/dev/ttyUSB0\n");
    EXPECT_TRUE(rig.errors.texts.empty());
}

TEST(StartUp, RememberedPortThatIsAbsentStaysChosenAndIsOpenedWhenItAppears) {
    ProgramRig rig;
    rig.portTable.ports = {{"ttyS0", "/dev/ttyS0"}, {"ttyS1", "/dev/ttyS1"}};
    const std::string file = "[UPS]\nCOMPort=2\nCOMPortPath=/dev/ttyUSB0\n";
    rig.WriteSettingsFile(file);
    rig.port.refuseOpen = true;
    rig.program.FormCreate();
    EXPECT_EQ(rig.view.portNames, (std::vector<std::string>{"ttyS0", "ttyS1", "ttyUSB0"}));
    EXPECT_EQ(rig.view.portIndex, 2);
    EXPECT_EQ(rig.port.openedPath, "/dev/ttyUSB0");
    EXPECT_FALSE(rig.port.IsOpen());

    // Opening the list while it is still absent keeps it there.
    rig.portTable.ports = {{"ttyS0", "/dev/ttyS0"}};
    rig.program.RefreshPortList();
    EXPECT_EQ(rig.view.portNames, (std::vector<std::string>{"ttyS0", "ttyUSB0"}));
    EXPECT_EQ(rig.view.portIndex, 1);

    // Plugged in: opened within the reopen interval, and nothing written over the choice.
    rig.port.refuseOpen = false;
    rig.port.openedPath.clear();
    for (int tick = 0; tick < PortKeeper::kReopenTicks; ++tick) {
        rig.program.Timer1Timer();
    }
    EXPECT_TRUE(rig.port.IsOpen());
    EXPECT_EQ(rig.port.openedPath, "/dev/ttyUSB0");
    EXPECT_EQ(rig.SettingsFile(), file);
    EXPECT_EQ(rig.store.writes, 0);
    EXPECT_TRUE(rig.errors.texts.empty());
}

TEST(StartUp, RememberedPathNotAmongThePortsSettingIsShownAsWritten) {
    ProgramRig rig;
    rig.WriteSettingsFile("[UPS]\nPorts=/tmp/b/ups\nCOMPortPath=/tmp/a/ups\nCOMPort=0\n");
    rig.port.refuseOpen = true;
    rig.program.FormCreate();
    EXPECT_EQ(rig.view.portNames, (std::vector<std::string>{"/tmp/a/ups", "/tmp/b/ups"}));
    EXPECT_EQ(rig.view.portIndex, 0);
    EXPECT_EQ(rig.port.openedPath, "/tmp/a/ups");
}

TEST(StartUp, EmptyRememberedPathFallsBackToTheIndex) {
    ProgramRig rig;
    rig.portTable.ports = {{"ttyS0", "/dev/ttyS0"}, {"ttyS1", "/dev/ttyS1"}};
    rig.WriteSettingsFile("[UPS]\nCOMPortPath=\nCOMPort=1\n");
    rig.program.FormCreate();
    EXPECT_EQ(rig.port.openedPath, "/dev/ttyS1");
}

TEST(PortList, EveryChangeStoresTheIndexThenReopensAndPurges) {
    ProgramRig rig;
    rig.portTable.ports = {{"ttyS0", "/dev/ttyS0"}, {"ttyUSB0", "/dev/ttyUSB0"}};
    rig.program.FormCreate();
    rig.port.Arrive("stale bytes");
    rig.program.ComboBox4Change(1);
    EXPECT_EQ(rig.port.openedPath, "/dev/ttyUSB0");
    EXPECT_EQ(rig.port.ComInputCount(), 0u);
    // The device's path and its position.
    EXPECT_EQ(rig.SettingsFile(), "[UPS]\nCOMPortPath=/dev/ttyUSB0\nCOMPort=1\n");

    // The same port again is closed and opened again too.
    rig.port.Arrive("more");
    rig.program.ComboBox4Change(1);
    EXPECT_TRUE(rig.port.IsOpen());
    EXPECT_EQ(rig.port.ComInputCount(), 0u);
}

TEST(PortList, RefusedWriteIsReportedOnceAndThePickedPortIsInUse) {
    ProgramRig rig;
    rig.portTable.ports = {{"ttyS0", "/dev/ttyS0"}, {"ttyUSB0", "/dev/ttyUSB0"}};
    rig.program.FormCreate();
    rig.store.refuseWrites = true;
    rig.program.ComboBox4Change(1);
    EXPECT_EQ(rig.errors.texts,
              (std::vector<std::string>{"Unable to write to /fake/work/UPSZelto.ini"}));
    EXPECT_TRUE(rig.port.IsOpen());
    EXPECT_EQ(rig.port.openedPath, "/dev/ttyUSB0");
    EXPECT_EQ(rig.SettingsFile(), "[UPS]\nCOMPortPath=/dev/ttyS0\nCOMPort=0\n");
    rig.program.Timer1Timer();
    EXPECT_EQ(rig.port.writes.back(), "Q1\r");
}

TEST(PolicyLists, ChangesAreStoredAtOnceAndApplyEvenWhenRefused) {
    ProgramRig rig;
    rig.program.FormCreate();
    rig.program.PolicyChanged(PolicyList::Trigger, 3);
    rig.program.PolicyChanged(PolicyList::Method, 1);
    rig.program.PolicyChanged(PolicyList::UpsDelay, 5);
    EXPECT_EQ(rig.SettingsFile(), "[UPS]\nCompOff=3\nOffMethod=1\nOffUPS=5\n");

    rig.store.refuseWrites = true;
    rig.program.PolicyChanged(PolicyList::Method, 2);
    EXPECT_EQ(rig.program.State().MethodIndex, 2);
    EXPECT_EQ(rig.errors.texts.size(), 1u);
    EXPECT_EQ(rig.SettingsFile(), "[UPS]\nCompOff=3\nOffMethod=1\nOffUPS=5\n");
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
    // The retry sent this tick's query on the reopened port and showed no box; the port, chosen
    // by its place alone, is remembered by its path now that it opened.
    EXPECT_EQ(rig.port.writes.back(), "Q1\r");
    EXPECT_EQ(writesBefore, 0);
    EXPECT_EQ(rig.SettingsFile(), "[UPS]\nCOMPortPath=/dev/ttyUSB0\nCOMPort=0\n");
    EXPECT_TRUE(rig.errors.texts.empty());
}

// A chosen port that is not there at start-up: nothing is written over the choice, the tray says
// the port is missing, the list is read again every few ticks, and the port is taken as soon as
// it is there; one chosen only by its place is remembered by its path then.
struct AbsentPortCase {
    const char* name;
    const char* file;
    std::vector<PortEntry> atStart;  // the system's ports at start-up
    std::vector<PortEntry> later;    // once the device is there
    const char* tip;                 // while it is missing
    const char* opened;
    int index;  // selected once it opened
    const char* fileAfter;
};

TEST(LostPort, AbsentAtStartUpIsTakenWhenItAppearsAndTheChoiceStays) {
    const PortEntry s0{"ttyS0", "/dev/ttyS0"};
    const PortEntry usb0{"ttyUSB0", "/dev/ttyUSB0"};
    const AbsentPortCase cases[] = {
        {"no port at all",
         "[UPS]\nCOMPort=0\nCompOff=6\n",
         {},
         {usb0},
         "Порт UPS не найден",
         "/dev/ttyUSB0",
         0,
         "[UPS]\nCOMPort=0\nCompOff=6\nCOMPortPath=/dev/ttyUSB0\n"},
        // Left by an older start that found no port: never a choice of none.
        {"-1 stored",
         "[UPS]\nCOMPort=-1\n",
         {},
         {s0},
         "Порт UPS не найден",
         "/dev/ttyS0",
         0,
         "[UPS]\nCOMPort=0\nCOMPortPath=/dev/ttyS0\n"},
        {"a place past the list",
         "[UPS]\nCOMPort=1\n",
         {s0},
         {usb0, s0},
         "Порт UPS не найден",
         "/dev/ttyUSB0",
         1,
         "[UPS]\nCOMPort=1\nCOMPortPath=/dev/ttyUSB0\n"},
        {"a remembered path",
         "[UPS]\nCOMPort=1\nCOMPortPath=/dev/ttyUSB0\n",
         {s0},
         {s0, usb0},
         "Порт UPS не найден: ttyUSB0",
         "/dev/ttyUSB0",
         1,
         "[UPS]\nCOMPort=1\nCOMPortPath=/dev/ttyUSB0\n"},
        {"in English",
         "[UPS]\nLanguage=en\nCOMPort=1\nCOMPortPath=/dev/ttyUSB0\n",
         {s0},
         {s0, usb0},
         "UPS port not found: ttyUSB0",
         "/dev/ttyUSB0",
         1,
         "[UPS]\nLanguage=en\nCOMPort=1\nCOMPortPath=/dev/ttyUSB0\n"},
    };
    for (const auto& c : cases) {
        ProgramRig rig(c.file);
        rig.portTable.ports = c.atStart;
        rig.WriteSettingsFile(c.file);
        rig.port.refuseOpen = true;
        rig.port.refusal = OpenResult::Missing;
        rig.program.FormCreate();
        for (int tick = 0; tick < 2 * PortKeeper::kReopenTicks; ++tick) {
            rig.program.Timer1Timer();
        }
        EXPECT_FALSE(rig.port.IsOpen()) << c.name;
        EXPECT_EQ(rig.SettingsFile(), c.file) << c.name;
        EXPECT_EQ(rig.display.trayTip, c.tip) << c.name;
        EXPECT_EQ(rig.display.trayPicture, kPictureProgram) << c.name;
        EXPECT_TRUE(rig.errors.texts.empty()) << c.name;

        rig.portTable.ports = c.later;
        rig.port.refuseOpen = false;
        for (int tick = 0; tick < PortKeeper::kReopenTicks && !rig.port.IsOpen(); ++tick) {
            rig.program.Timer1Timer();
        }
        EXPECT_TRUE(rig.port.IsOpen()) << c.name;
        EXPECT_EQ(rig.port.openedPath, c.opened) << c.name;
        EXPECT_EQ(rig.view.portIndex, c.index) << c.name;
        EXPECT_EQ(rig.SettingsFile(), c.fileAfter) << c.name;
        EXPECT_EQ(rig.display.trayTip, "") << c.name;
        // Once open, nothing more is looked for.
        const int opens = rig.port.opens;
        for (int tick = 0; tick < 2 * PortKeeper::kReopenTicks; ++tick) {
            rig.program.Timer1Timer();
        }
        EXPECT_EQ(rig.port.opens, opens) << c.name;
    }
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

TEST(LostPort, AfterARefusedWriteThePickedPortIsTheOneKept) {
    ProgramRig rig;
    rig.portTable.ports = {{"ttyS0", "/dev/ttyS0"}, {"ttyUSB0", "/dev/ttyUSB0"}};
    rig.program.FormCreate();
    rig.store.refuseWrites = true;
    rig.program.ComboBox4Change(1);
    rig.port.ComClose();
    rig.port.openedPath.clear();
    for (int tick = 0; tick < 3; ++tick) {
        rig.program.Timer1Timer();
    }
    EXPECT_EQ(rig.port.openedPath, "/dev/ttyUSB0");
}

TEST(PortAccess, DeniedPortIsToldOnceThenRetriedQuietly) {
    ProgramRig rig;
    rig.portTable.ports = {{"ttyUSB0", "/dev/ttyUSB0"}, {"ttyUSB1", "/dev/ttyUSB1"}};
    rig.port.refuseOpen = true;
    rig.port.refusal = OpenResult::PermissionDenied;
    rig.port.group = "dialout";
    rig.program.FormCreate();
    const std::string told =
        "Нет доступа к порту /dev/ttyUSB0: его могут открывать только члены группы dialout. "
        "Добавьте себя в неё командой «sudo usermod -aG dialout $USER», затем выйдите из системы "
        "и войдите снова. Пока порт закрыт, компьютер не защищён; программа откроет порт сама, "
        "как только доступ появится.";
    EXPECT_EQ(rig.errors.texts, std::vector<std::string>{told});

    for (int tick = 0; tick < 4 * PortKeeper::kReopenTicks; ++tick) {
        rig.program.Timer1Timer();
    }
    EXPECT_EQ(rig.port.opens, 5) << "start-up and one retry every few ticks";
    EXPECT_EQ(rig.errors.texts.size(), 1u);

    // Picking the same port again tells nothing new; another port denied too is told once.
    rig.program.ComboBox4Change(0);
    EXPECT_EQ(rig.errors.texts.size(), 1u);
    rig.port.group.clear();
    rig.program.ComboBox4Change(1);
    ASSERT_EQ(rig.errors.texts.size(), 2u);
    EXPECT_EQ(rig.errors.texts[1],
              "Нет доступа к порту /dev/ttyUSB1. Попросите администратора разрешить вам "
              "открывать это устройство. Пока порт закрыт, компьютер не защищён; программа "
              "откроет порт сама, как только доступ появится.");

    // Access granted: the next retry opens it.
    rig.port.refuseOpen = false;
    for (int tick = 0; tick < PortKeeper::kReopenTicks; ++tick) {
        rig.program.Timer1Timer();
    }
    EXPECT_TRUE(rig.port.IsOpen());
    EXPECT_EQ(rig.errors.texts.size(), 2u);
}

TEST(PortAccess, MissingAndBusyPortsStayQuiet) {
    ProgramRig rig;
    rig.portTable.ports = {{"ttyUSB0", "/dev/ttyUSB0"}};
    rig.port.refuseOpen = true;
    rig.port.refusal = OpenResult::Failed;
    rig.port.group = "dialout";
    rig.program.FormCreate();
    for (int tick = 0; tick < 4 * PortKeeper::kReopenTicks; ++tick) {
        rig.program.Timer1Timer();
    }
    EXPECT_EQ(rig.port.opens, 5);
    EXPECT_TRUE(rig.errors.texts.empty());
}

// Each answer the system can give about the chosen method, and what the user is told.
struct CapabilityCase {
    int method;
    PowerCapability capability;
    const char* reason;
    const char* told;  // nullptr: nothing
    Language language = Language::Russian;
};

const CapabilityCase kCapabilityCases[] = {
    {0, PowerCapability::Yes, "", nullptr},
    {1, PowerCapability::Yes, "", nullptr},
    {2, PowerCapability::Yes, "", nullptr},
    {0, PowerCapability::Challenge, "",
     "Метод выключения «Выключит компьютер» не сработает при отказе сети: система спросит "
     "пароль администратора, а вводить его может быть некому. Разрешите это действие своему "
     "пользователю без пароля (правилом polkit) или выберите другой метод."},
    {1, PowerCapability::No, "",
     "Метод выключения «Спящий режим» не сработает при отказе сети: система не разрешает его "
     "вашему пользователю. Попросите администратора разрешить его или выберите другой метод."},
    {0, PowerCapability::NotAvailable, "",
     "Метод выключения «Выключит компьютер» не сработает при отказе сети: система не умеет "
     "выключать этот компьютер. Выберите другой метод."},
    {1, PowerCapability::NotAvailable, "",
     "Метод выключения «Спящий режим» не сработает при отказе сети: спящий режим на этом "
     "компьютере не настроен или не поддерживается. Настройте его (в Linux ему нужен раздел или "
     "файл подкачки не меньше объёма памяти, в Windows его включает «powercfg /hibernate on») или "
     "выберите другой метод."},
    {2, PowerCapability::NotAvailable, "",
     "Метод выключения «Ждущий режим» не сработает при отказе сети: ждущий режим на этом "
     "компьютере отключён или не поддерживается. Включите его в настройках системы или выберите "
     "другой метод."},
    {2, PowerCapability::Unknown, "org.freedesktop.DBus.Error.ServiceUnknown: no logind",
     "Не удалось узнать у системы, сработает ли метод выключения «Ждущий режим» при отказе сети "
     "(org.freedesktop.DBus.Error.ServiceUnknown: no logind). Проверьте, что служба управления "
     "питанием работает."},
    // In English, with the system's own words as it gives them.
    {0, PowerCapability::Challenge, "",
     "The shutdown method \"Power off\" will not work when mains fail: the system will ask for "
     "an administrator's password, and nobody may be there to type it. Allow your user this "
     "action without a password (with a polkit rule), or choose another method.",
     Language::English},
    {1, PowerCapability::NotAvailable, "",
     "The shutdown method \"Hibernate\" will not work when mains fail: hibernation is not set up "
     "or not supported on this computer. Set it up (on Linux it needs a swap partition or file at "
     "least as large as the memory; on Windows \"powercfg /hibernate on\" turns it on), or "
     "choose another method.",
     Language::English},
    {2, PowerCapability::Unknown, "org.freedesktop.DBus.Error.ServiceUnknown: нет logind",
     "Could not learn from the system whether the shutdown method \"Suspend\" will work when "
     "mains fail (org.freedesktop.DBus.Error.ServiceUnknown: нет logind). Check that the power "
     "management service is running.",
     Language::English},
};

TEST(MethodCapability, AskedOnceAtStartUpAndToldWhenTheSystemCannot) {
    const PowerAction actions[] = {PowerAction::PowerOff, PowerAction::Hibernate,
                                   PowerAction::Suspend};
    for (const auto& c : kCapabilityCases) {
        const std::string language = c.language == Language::English ? "Language=en\n" : "";
        ProgramRig rig("[UPS]\n" + language);
        rig.WriteSettingsFile("[UPS]\nOffMethod=" + std::to_string(c.method) + "\n" + language);
        rig.power.capability = CapabilityAnswer{c.capability, c.reason};
        rig.program.FormCreate();
        EXPECT_EQ(rig.power.asked, std::vector<PowerAction>{actions[c.method]}) << c.method;
        EXPECT_EQ(rig.errors.texts,
                  c.told ? std::vector<std::string>{c.told} : std::vector<std::string>{})
            << c.method;
        // The choice stands, and asking acts on nothing.
        EXPECT_EQ(rig.view.policy[PolicyList::Method], c.method);
        EXPECT_TRUE(rig.power.actions.empty());
        for (int tick = 0; tick < 3; ++tick) {
            rig.program.Timer1Timer();
        }
        EXPECT_EQ(rig.power.asked.size(), 1u) << "asked again without a new choice";
    }
}

TEST(MethodCapability, NotAskedUnderNeverUntilTheTriggerCanAct) {
    ProgramRig rig;
    rig.WriteSettingsFile("[UPS]\nCompOff=6\nOffMethod=1\n");
    rig.power.capability = CapabilityAnswer{PowerCapability::No, ""};
    rig.program.FormCreate();
    rig.program.PolicyChanged(PolicyList::Trigger, 6);
    EXPECT_TRUE(rig.power.asked.empty());
    EXPECT_TRUE(rig.errors.texts.empty());
    // Set to act: asked, and told; from one acting entry to another: not again.
    rig.program.PolicyChanged(PolicyList::Trigger, 2);
    EXPECT_EQ(rig.power.asked, std::vector<PowerAction>{PowerAction::Hibernate});
    EXPECT_EQ(rig.errors.texts.size(), 1u);
    rig.program.PolicyChanged(PolicyList::Trigger, 0);
    EXPECT_EQ(rig.power.asked.size(), 1u);
}

TEST(MethodCapability, AskedWhenAMethodIsChosenAndTheChoiceIsKept) {
    for (const auto& c : kCapabilityCases) {
        ProgramRig rig(c.language == Language::English ? "[UPS]\nLanguage=en\n" : "");
        rig.program.FormCreate();
        rig.power.asked.clear();
        const auto tipBefore = rig.display.trayTip;
        const auto trayCallsBefore = rig.display.calls.size();
        rig.power.capability = CapabilityAnswer{c.capability, c.reason};
        rig.program.PolicyChanged(PolicyList::Method, c.method);
        EXPECT_EQ(rig.power.asked.size(), 1u);
        EXPECT_EQ(rig.errors.texts,
                  c.told ? std::vector<std::string>{c.told} : std::vector<std::string>{})
            << c.method;
        EXPECT_EQ(rig.program.State().MethodIndex, c.method);
        EXPECT_NE(rig.SettingsFile().find("OffMethod=" + std::to_string(c.method)),
                  std::string::npos);
        EXPECT_EQ(rig.display.trayTip, tipBefore);
        EXPECT_EQ(rig.display.calls.size(), trayCallsBefore);
    }
    // The other lists ask nothing.
    ProgramRig rig;
    rig.program.FormCreate();
    rig.power.asked.clear();
    rig.program.PolicyChanged(PolicyList::Trigger, 2);
    rig.program.PolicyChanged(PolicyList::UpsDelay, 2);
    EXPECT_TRUE(rig.power.asked.empty());
}

TEST(PortList, OpeningTheListFollowsDevicesAndKeepsTheChoice) {
    ProgramRig rig;
    rig.portTable.ports = {{"ttyUSB0", "/dev/ttyUSB0"}, {"ttyUSB1", "/dev/ttyUSB1"}};
    rig.WriteSettingsFile("[UPS]\nCOMPort=1\n");
    rig.program.FormCreate();
    ASSERT_EQ(rig.port.openedPath, "/dev/ttyUSB1");
    const std::string kRemembered = "[UPS]\nCOMPort=1\nCOMPortPath=/dev/ttyUSB1\n";

    // A device sorting before the chosen one appears: the choice moves down with its port, and
    // nothing is written, since looking at the list is not a choice.
    rig.store.refuseWrites = true;
    rig.portTable.ports.push_back({"ttyACM0", "/dev/ttyACM0"});
    rig.program.RefreshPortList();
    EXPECT_EQ(rig.view.portNames, (std::vector<std::string>{"ttyACM0", "ttyUSB0", "ttyUSB1"}));
    EXPECT_EQ(rig.view.portIndex, 2);
    EXPECT_EQ(rig.SettingsFile(), kRemembered);
    EXPECT_EQ(rig.program.State().PortIndex, 2);

    // The chosen port is unplugged: it stays listed and selected, so it is reopened when it
    // comes back; others that vanished leave the list.
    rig.portTable.ports = {{"ttyS0", "/dev/ttyS0"}};
    rig.program.RefreshPortList();
    EXPECT_EQ(rig.view.portNames, (std::vector<std::string>{"ttyS0", "ttyUSB1"}));
    EXPECT_EQ(rig.view.portIndex, 1);
    EXPECT_EQ(rig.SettingsFile(), kRemembered);
    EXPECT_TRUE(rig.errors.texts.empty());

    // A pick after the shift stores the new position and the path.
    rig.store.refuseWrites = false;
    rig.program.ComboBox4Change(0);
    EXPECT_EQ(rig.SettingsFile(), "[UPS]\nCOMPort=0\nCOMPortPath=/dev/ttyS0\n");
}

TEST(Presentation, TheFrontEndHearsOnlyOfWhatChanged) {
    ProgramRig rig;
    rig.portTable.ports = {{"ttyS0", "/dev/ttyS0"}};
    rig.WriteSettingsFile("[UPS]\nCompOff=6\nCOMPort=0\n");
    rig.program.FormCreate();
    // The same record again and again: the window and the tray are told once.
    for (int i = 0; i < 4; ++i) {
        rig.port.Arrive(PowerRecord("13.0", false));
        rig.program.Timer1Timer();
    }
    const auto count = [&](const std::string& prefix) {
        return std::count_if(rig.display.calls.begin(), rig.display.calls.end(),
                             [&](const std::string& call) { return call.rfind(prefix, 0) == 0; });
    };
    EXPECT_EQ(count("Tray "), 1);
    EXPECT_EQ(count("MainsVoltage "), 1);
    EXPECT_EQ(count("LinkState "), 2);  // down at the first tick, up from the second
    EXPECT_EQ(rig.program.Shown().TrayTip(), "Питание от сети. Заряд батареи: 77%");
    EXPECT_EQ(rig.program.Shown().Contents().readings[0], "228.0 V");
    // A change is told at once.
    rig.port.Arrive(PowerRecord("11.0", true));
    rig.program.Timer1Timer();
    EXPECT_EQ(count("Tray "), 2);
    EXPECT_EQ(rig.display.trayTip, "Питание от UPS. Заряд батареи: 77%");
}

}  // namespace
}  // namespace zelto::fakes
