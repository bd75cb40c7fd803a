#pragma once
// Fakes of the core's platform interfaces, for unit tests. Header-only; each fake records what
// the core asked of it and can be scripted to answer or refuse.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/base/error_reporter.h"
#include "core/base/settings_store.h"
#include "core/link/com_port.h"
#include "core/link/port_table.h"
#include "core/monitor/countdown.h"
#include "core/monitor/display.h"
#include "core/monitor/power_requests.h"
#include "core/monitor/secondaries.h"
#include "core/nut/nut_follower.h"
#include "core/program/user_actions.h"

namespace zelto::fakes {

// A serial port with a receive queue. Bytes arrive either at once (Arrive) or as scripted
// answers, one per status query written (AnswerQueries), the way a UPS answers.
class FakeComPort : public ComPort {
public:
    bool open = true;
    std::string openedPath;
    int openedBaud = 0;
    bool refuseOpen = false;
    OpenResult refusal = OpenResult::Failed;  // how a refused open ends
    std::string group;                        // what AccessGroup answers
    int opens = 0;                            // every ComOpen
    // Whether ComPurgeInput really empties the queue.
    bool purgeWorks = true;

    std::string rx;                   // the receive queue
    std::deque<std::string> answers;  // one is queued after each status query written
    std::string queryText = "Q1\r";

    std::vector<std::string> writes;         // every write that went out, in order
    std::vector<std::string> writeAttempts;  // every ComWrite, open port or not
    std::vector<std::size_t> reads;          // the count asked for by each ComRead
    int purges = 0;

    void Arrive(std::string_view bytes) { rx += bytes; }
    void AnswerQueries(std::initializer_list<std::string> chunks) {
        answers.insert(answers.end(), chunks.begin(), chunks.end());
    }
    int WritesOf(std::string_view bytes) const {
        int count = 0;
        for (const auto& w : writes) {
            count += w == bytes ? 1 : 0;
        }
        return count;
    }

    OpenResult ComOpen(const std::string& path, int baud) override {
        ++opens;
        openedPath = path;
        openedBaud = baud;
        open = !refuseOpen;
        return open ? OpenResult::Opened : refusal;
    }
    std::string AccessGroup(const std::string&) const override { return group; }
    void ComClose() override { open = false; }
    bool IsOpen() const override { return open; }
    std::size_t ComInputCount() override { return open ? rx.size() : 0; }
    std::string ComRead(std::size_t count) override {
        reads.push_back(count);
        if (!open) {
            return {};
        }
        std::string chunk = rx.substr(0, count);
        rx.erase(0, chunk.size());
        return chunk;
    }
    std::size_t ComWrite(std::string_view bytes) override {
        writeAttempts.emplace_back(bytes);
        if (!open) {
            return 0;
        }
        writes.emplace_back(bytes);
        if (bytes == queryText && !answers.empty()) {
            rx += answers.front();
            answers.pop_front();
        }
        return bytes.size();
    }
    void ComPurgeInput() override {
        ++purges;
        if (purgeWorks) {
            rx.clear();
        }
    }
};

// The system's table of serial ports: `ports`, as set.
class FakePortTable : public PortTable {
public:
    FakePortTable() = default;
    explicit FakePortTable(std::vector<PortEntry> listed) : ports(std::move(listed)) {}
    std::vector<PortEntry> ports;
    std::vector<PortEntry> SystemPorts() override { return ports; }
};

// Records every call, in order, as readable text, and keeps the latest value of each element.
class FakeDisplay : public Display {
public:
    std::vector<std::string> calls;

    std::optional<bool> linkState;
    std::map<Reading, std::string> readings;
    std::optional<int> loadBar;
    std::optional<int> beeperPicture;
    std::optional<int> batteryPicture;
    std::optional<std::string> charge;
    std::optional<bool> clockVisible;
    std::optional<std::string> clock;
    std::optional<int> trayPicture;
    std::optional<std::string> trayTip;

    static const char* Name(Reading which) {
        switch (which) {
            case Reading::MainsVoltage:
                return "MainsVoltage";
            case Reading::InputVoltage:
                return "InputVoltage";
            case Reading::OutputVoltage:
                return "OutputVoltage";
            case Reading::Load:
                return "Load";
            case Reading::Frequency:
                return "Frequency";
            case Reading::BatteryVoltage:
                return "BatteryVoltage";
            case Reading::Temperature:
                return "Temperature";
        }
        return "?";
    }

    void ShowLinkState(bool ok) override {
        linkState = ok;
        calls.push_back(std::string("LinkState ") + (ok ? "ok" : "down"));
    }
    void ShowReading(Reading which, const std::string& text) override {
        readings[which] = text;
        calls.push_back(std::string(Name(which)) + " " + text);
    }
    void ShowLoadBar(int percent) override {
        loadBar = percent;
        calls.push_back("LoadBar " + std::to_string(percent));
    }
    void ShowBeeperPicture(int picture) override {
        beeperPicture = picture;
        calls.push_back("BeeperPicture " + std::to_string(picture));
    }
    void ShowBatteryPicture(int picture) override {
        batteryPicture = picture;
        calls.push_back("BatteryPicture " + std::to_string(picture));
    }
    void ShowCharge(const std::string& text) override {
        charge = text;
        calls.push_back("Charge " + text);
    }
    void ShowClockVisible(bool visible) override {
        clockVisible = visible;
        calls.push_back(std::string("ClockVisible ") + (visible ? "yes" : "no"));
    }
    void ShowClock(const std::string& text) override {
        clock = text;
        calls.push_back("Clock " + text);
    }
    void ShowTray(int picture, const std::string& tip) override {
        trayPicture = picture;
        trayTip = tip;
        calls.push_back("Tray " + std::to_string(picture) + " " + tip);
    }
};

// The countdown dialog: what it was told to show.
class FakeCountdown : public Countdown {
public:
    std::vector<std::uint16_t> runs;    // the seconds each showing started from
    std::vector<std::string> captions;  // the title of each showing
    std::vector<std::uint16_t> shown;   // every count shown, the opening ones included
    bool showing = false;
    int closes = 0;

    void OpenCountdown(std::uint16_t seconds, const std::string& caption) override {
        runs.push_back(seconds);
        captions.push_back(caption);
        shown.push_back(seconds);
        showing = true;
    }
    void ShowCountdownSeconds(std::uint16_t seconds) override { shown.push_back(seconds); }
    void CloseCountdown() override {
        showing = false;
        ++closes;
    }
};

// What a window reported, each action as one line ("CountdownAnswered 2"), for a window tested
// without a program behind it.
class RecordedActions : public UserActions {
public:
    std::vector<std::string> calls;

    void FormCreate() override { calls.push_back("FormCreate"); }
    void PolicyChanged(PolicyList list, int index) override {
        calls.push_back("PolicyChanged " + std::to_string(PolicyListPlace(list)) + " " +
                        std::to_string(index));
    }
    void RefreshPortList() override { calls.push_back("RefreshPortList"); }
    void ComboBox4Change(int index) override {
        calls.push_back("ComboBox4Change " + std::to_string(index));
    }
    void Image5Click() override { calls.push_back("Image5Click"); }
    void Timer1Timer() override { calls.push_back("Timer1Timer"); }
    void CountdownAnswered(int result) override {
        calls.push_back("CountdownAnswered " + std::to_string(result));
    }
    void CheckNetworkUps(const NetworkUpsForm& form) override {
        calls.push_back("CheckNetworkUps " + form.ups + "@" + form.host);
    }
    bool NetworkUpsChosen(const NetworkUpsForm& form) override {
        calls.push_back("NetworkUpsChosen " + form.ups + "@" + form.host + " " + form.user);
        return takeNetworkUps;
    }
    bool takeNetworkUps = true;  // what NetworkUpsChosen answers
};

// A NUT server's end of a client connection, scripted by the test: what the program sent, what
// the server says next, and whether connections are taken.
struct ScriptedClientSocket final : NutClientSocket {
    State state = State::Closed;
    bool refuse = false;                 // connections fail at once
    bool unanswered = false;             // connections stay being made
    bool refuseLater = false;            // refused once under way, as a distant host's are
    std::vector<std::int64_t> connects;  // at what time each connection was made
    std::vector<std::string> addresses;  // "host:port" of each
    std::string sent;
    std::string incoming;
    std::int64_t* clock = nullptr;
    int looksSinceConnect = 0;

    void Connect(const std::string& host, int port) override {
        connects.push_back(clock ? *clock : 0);
        addresses.push_back(host + ":" + std::to_string(port));
        state = refuse                      ? State::Closed
                : unanswered || refuseLater ? State::Connecting
                                            : State::Connected;
        looksSinceConnect = 0;
    }
    State Current() override {
        if (refuseLater && state == State::Connecting && ++looksSinceConnect > 1) {
            state = State::Closed;
        }
        return state;
    }
    std::string Receive(std::size_t limit) override {
        std::string chunk = incoming.substr(0, limit);
        incoming.erase(0, chunk.size());
        return chunk;
    }
    void Send(std::string_view bytes) override { sent += bytes; }
    void Close() override { state = State::Closed; }
};

// Records power requests; refuses them with `refusal` when set. Capability questions are
// recorded too and answered with `capability`.
class FakePowerRequests : public PowerRequests {
public:
    std::vector<PowerAction> actions;
    std::optional<std::string> refusal;
    std::vector<PowerAction> asked;
    CapabilityAnswer capability{PowerCapability::Yes, {}};
    // Called with each request, e.g. to check what the port saw before it.
    std::function<void(PowerAction)> onRequest;

    std::optional<std::string> Request(PowerAction action) override {
        actions.push_back(action);
        if (onRequest) {
            onRequest(action);
        }
        return refusal;
    }
    CapabilityAnswer Capability(PowerAction action) override {
        asked.push_back(action);
        return capability;
    }
};

class FakeErrorReporter : public ErrorReporter {
public:
    std::vector<std::string> texts;
    void Report(const std::string& text) override { texts.push_back(text); }
};

// Files in memory, path -> text. Writes can be refused. The path rules are the Linux ones unless
// a test sets others.
class FakeSettingsStore : public SettingsStore {
public:
    std::string directory = "/fake/work";
    char separator = '/';
    std::string lineEnd = "\n";
    std::map<std::string, std::string> files;
    bool refuseWrites = false;
    int writes = 0;

    std::string CurrentDirectory() override { return directory; }
    char PathSeparator() const override { return separator; }
    std::string_view NewFileLineEnd() const override { return lineEnd; }
    std::optional<std::string> ReadFile(const std::string& path) override {
        const auto found = files.find(path);
        if (found == files.end()) {
            return std::nullopt;
        }
        return found->second;
    }
    bool ReplaceFile(const std::string& path, const std::string& text) override {
        if (refuseWrites) {
            return false;
        }
        ++writes;
        files[path] = text;
        return true;
    }
};

}  // namespace zelto::fakes
