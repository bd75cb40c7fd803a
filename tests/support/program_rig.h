#pragma once
// A Program wired to fakes: the main window's lists, the system's port table and everything the
// Monitor needs.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/link/port_table.h"
#include "core/program/main_view.h"
#include "core/program/program.h"
#include "tests/support/core_fakes.h"
#include "tests/support/event_fakes.h"

namespace zelto::fakes {

class FakeMainView : public MainView {
public:
    std::map<PolicyList, int> policy;
    std::vector<std::string> portNames;
    int portIndex = -2;  // -2: never set
    std::string caption = "123";
    int trayIcons = 0;
    std::vector<std::string> calls;

    void SetPolicyIndex(PolicyList list, int index) override {
        policy[list] = index;
        calls.push_back("policy " + std::to_string(static_cast<int>(list)) + " " +
                        std::to_string(index));
    }
    void SetPortList(const std::vector<std::string>& names) override {
        portNames = names;
        portIndex = -1;  // a new list has nothing selected
        calls.push_back("ports");
    }
    void SetPortIndex(int index) override {
        portIndex = index;
        calls.push_back("port " + std::to_string(index));
    }
    void SetCaption(const std::string& text) override {
        caption = text;
        calls.push_back("caption");
    }
    void AddTrayIcon() override {
        ++trayIcons;
        calls.push_back("tray");
    }
    bool upsOffEnabled = true;
    std::vector<NetworkUpsForm> dialogs;  // each opening of "Сетевой UPS…", with its fields
    std::vector<std::string> checks;      // each line the dialog was told
    void SetUpsOffEnabled(bool enabled) override { upsOffEnabled = enabled; }
    void OpenNetworkUpsDialog(const NetworkUpsForm& form) override { dialogs.push_back(form); }
    void ShowNetworkUpsCheck(const std::string& text) override { checks.push_back(text); }
};

// The fakes of every part a Program is given.
struct FakePlatformParts {
    FakeSettingsStore store;
    FakeComPort port;
    FakePortTable portTable;
    FakeMainView view;
    FakeDisplay display;
    FakeCountdown countdown;
    FakePowerRequests power;
    FakeErrorReporter errors;

    Platform Parts() {
        return Platform{store, port, portTable, view, display, countdown, power, errors};
    }
};

struct ProgramRig : FakePlatformParts {
    // `settings`: the settings file as the program finds it when it is made (what it reads
    // then, such as the language); a test may write another before start-up.
    explicit ProgramRig(const std::string& settings = "") : seeded(Seed(settings)) {
        port.open = false;  // nothing is open before start-up opens the stored port
    }

    const bool seeded;
    Program program{Parts()};

    std::string SettingsPath() { return store.directory + "/UPSZelto.ini"; }
    bool Seed(const std::string& settings) {
        if (!settings.empty()) {
            WriteSettingsFile(settings);
        }
        return !settings.empty();
    }
    void WriteSettingsFile(const std::string& text) { store.files[SettingsPath()] = text; }
    std::string SettingsFile() {
        const auto found = store.files.find(SettingsPath());
        return found == store.files.end() ? "<none>" : found->second;
    }
};

// The same program able to follow a network UPS: a scripted server for the followed UPS and one
// for the dialog's check, and a clock the test moves.
struct NetworkProgramRig : FakePlatformParts {
    ScriptedClientSocket server;
    ScriptedClientSocket checked;
    FakeClock clock{Moment{1'700'000'000, 0}};
    std::unique_ptr<Program> program;

    explicit NetworkProgramRig(const std::string& settings) {
        port.open = false;
        store.files[store.directory + "/UPSZelto.ini"] = settings;
        Platform platform = Parts();
        platform.nutClient = &server;
        platform.nutCheck = &checked;
        platform.clock = &clock;
        program = std::make_unique<Program>(platform);
    }
    std::string SettingsFile() { return store.files[store.directory + "/UPSZelto.ini"]; }
    // One second later, a tick.
    void Tick() {
        clock.Advance(1);
        program->Timer1Timer();
    }
};

}  // namespace zelto::fakes
