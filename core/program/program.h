#pragma once
// The program without its windows: start-up, the list handlers and the poll cycle, wired to the
// platform through small interfaces. A front end owns one Program and forwards its events.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/base/error_reporter.h"
#include "core/base/program_state.h"
#include "core/base/settings.h"
#include "core/events/event_log.h"
#include "core/link/com_port.h"
#include "core/link/port_keeper.h"
#include "core/link/port_table.h"
#include "core/monitor/countdown.h"
#include "core/monitor/display.h"
#include "core/monitor/monitor.h"
#include "core/monitor/power_requests.h"
#include "core/nut/nut_follower.h"
#include "core/program/main_view.h"
#include "core/program/network_ups_check.h"
#include "core/program/nut_feed.h"
#include "core/program/presentation.h"
#include "core/program/user_actions.h"

namespace zelto {

struct Platform {
    SettingsStore& store;
    ComPort& port;
    PortTable& portTable;
    MainView& view;
    Display& display;
    Countdown& countdown;
    PowerRequests& power;
    ErrorReporter& errors;
    // The program's past; none is kept when null. A front end that keeps one passes it as
    // `errors` too, so that every box's text is journalled.
    EventLog* events = nullptr;
    // Following a UPS another machine serves over NUT: a connection for the UPS followed, one for
    // the dialog's check, and a clock that goes on while the computer sleeps. Without them the
    // port list offers serial ports only.
    NutClientSocket* nutClient = nullptr;
    NutClientSocket* nutCheck = nullptr;
    Clock* clock = nullptr;
};

class Program final : public UserActions {
public:
    explicit Program(const Platform& platform);
    // Logs out of a followed UPS's server, so that its primary stops waiting for this computer.
    ~Program() override;
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Restores the settings into the lists, adds the tray icon, fills the port list, opens the
    // stored port and runs the first tick. A step that fails is reported and start-up goes on.
    void FormCreate() override;
    void PolicyChanged(PolicyList list, int index) override;
    // The user picked a port: reopen it, then store it (its index and its path). A refused
    // write is reported; the port is in use either way.
    void ComboBox4Change(int index) override;
    // Fills the port list from the system's table or the "Ports" setting.
    void ReadComPorts();
    // The user opened the port list: it follows devices added and removed since, keeping the
    // selected port selected (and listed, even while it is unplugged). Nothing is stored, but a
    // chosen place of the list that a device now fills is opened.
    void RefreshPortList() override;

    // One poll tick; while the chosen port is not open, every few ticks look for it first.
    void Timer1Timer() override;
    void Image5Click() override { monitor_.Image5Click(); }
    void CountdownAnswered(int result) override { monitor_.CountdownAnswered(result); }
    void CheckNetworkUps(const NetworkUpsForm& form) override;
    // The followed UPS's server answered between ticks: read now, so that FSD is acted on within
    // the second rather than at the next tick.
    void FollowedUpsAnswered();
    bool NetworkUpsChosen(const NetworkUpsForm& form) override;

    ProgramState& State() { return state_; }
    // What the main window and the tray show now.
    const Presentation& Shown() const { return presentation_; }
    // What the NUT server publishes; a front end that runs one hands it its wait.
    NutFeed& Nut() { return nut_; }
    const std::vector<PortEntry>& PortList() const { return ports_; }

private:
    // Start-up: the stored port, by its path when one is stored, otherwise by its index.
    void OpenStoredPort();
    // Closes the port in use and opens the list entry (none for -1), which is kept open from
    // then on.
    void OpenPort(int index);
    // What an open of the chosen port came to: a refusal for lack of permission is told once
    // per port, a missing port is shown, a port chosen only by its place is remembered by its
    // path the first time it opens.
    void NoteOpen(OpenResult result);
    // The chosen port is closed: opens it again by its path, or, while only its place is known,
    // reads the list again and opens the port once a device fills that place.
    void LookForPort();
    // The port list as it is now: the "Ports" setting, or else the system's table, sorted.
    std::vector<PortEntry> CurrentPorts();
    // Reads the system's ports again, keeping the chosen port listed and selected, or selecting
    // the chosen place once a device fills it. True when it did the latter.
    bool ReadPortListAgain();
    // Stores the port in use: its path, then its index.
    void StoreChoice(int index);
    void ShowPortMissing(bool missing);
    // Asks the system whether it can carry out the chosen method, and says so when it cannot.
    void CheckMethod();
    void PublishPortList();
    // The "Сетевой UPS…" entry was picked: the dialog opens and the list keeps its choice.
    void AskForNetworkUps();
    std::int64_t Now() const;
    // Starts following the network UPS `path` names, or stops following (empty path).
    void Follow(const std::string& path);
    void FollowTick();

    // Power requests that log out of a followed UPS's server first: the primary then knows this
    // computer is going down on purpose, not lost.
    class LogoutFirst final : public PowerRequests {
    public:
        LogoutFirst(PowerRequests& power, std::optional<NutFollower>& follower, Clock* clock)
            : power_(power), follower_(follower), clock_(clock) {}
        CapabilityAnswer Capability(PowerAction action) override {
            return power_.Capability(action);
        }
        std::optional<std::string> Request(PowerAction action) override;

    private:
        PowerRequests& power_;
        std::optional<NutFollower>& follower_;
        Clock* clock_;
    };

    Platform platform_;
    std::optional<NutFollower> follower_;
    LogoutFirst power_;
    // Before the monitor, which shows everything through it.
    Presentation presentation_;
    ProgramState state_;
    Settings settings_;
    NutFeed nut_;
    Monitor monitor_;
    PortKeeper keeper_;
    std::vector<PortEntry> ports_;
    // The stored place of the list while no device fills it; -1 once the choice is a port.
    int waitingIndex_ = -1;
    // The port was chosen by its place alone; its path is stored when it first opens.
    bool rememberWhenOpen_ = false;
    bool portMissing_ = false;
    std::optional<NetworkUpsCheck> check_;
};

}  // namespace zelto
