#pragma once
// A Monitor wired to fakes, for the poll cycle, power state and shutdown tests.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/base/program_state.h"
#include "core/base/settings.h"
#include "core/link/protocol.h"
#include "core/monitor/monitor.h"
#include "core/monitor/monitor_events.h"
#include "core/program/nut_feed.h"
#include "tests/support/core_fakes.h"
#include "tests/support/status_records.h"

namespace zelto::fakes {

// What the monitor told, one word per call; a call made with UPS commands already written says
// how many (the query excepted), so a test sees what was sent before what was told.
class RecordingEvents final : public MonitorEvents {
public:
    explicit RecordingEvents(const FakeComPort& port) : port_(port) {}
    std::vector<std::string> told;

    void TickStarted() override { Tell("tick"); }
    void RecordReceived(const StatusRecord& record, std::optional<int>) override {
        Tell(record.OnBattery() ? "record on battery" : "record on mains");
    }
    void CountdownStarted(std::uint16_t seconds) override {
        Tell("countdown " + std::to_string(seconds));
    }
    void CountdownEnded(int result) override { Tell("countdown ended " + std::to_string(result)); }
    void SwitchOffSent(int delayIndex) override {
        Tell("switch-off " + std::to_string(delayIndex));
    }
    void CancelSent() override { Tell("cancel"); }
    void PowerRequested(PowerAction action) override {
        Tell("request " + std::to_string(static_cast<int>(action)));
    }
    void PowerRefused(PowerAction action, const std::string& reason) override {
        Tell("refused " + std::to_string(static_cast<int>(action)) + " " + reason);
    }

private:
    void Tell(std::string word) {
        std::size_t commands = 0;
        for (const auto& w : port_.writes) {
            commands += w != "Q1\r" ? 1 : 0;
        }
        told.push_back(commands == 0 ? word : word + " after " + std::to_string(commands));
    }
    const FakeComPort& port_;
};

struct MonitorRig {
    ProgramState state;
    FakeComPort port;
    FakeDisplay display;
    FakeCountdown countdown;
    FakePowerRequests power;
    FakeErrorReporter errors;
    FakeSettingsStore store;
    Settings settings{store};
    // The steady clock the wait for the secondaries reads; a test moves it by hand.
    NutClients::Clock::time_point steadyNow{};
    // What the NUT server would publish; no server waits unless a test lends the feed one's
    // connections.
    NutFeed nut{[this] { return steadyNow; }};
    RecordingEvents events{port};
    Monitor monitor{
        MonitorParts{state, port, display, countdown, power, errors, settings, &nut, &events}};

    // The bytes arrive, then one tick runs.
    void TickWith(const std::string& bytes) {
        port.Arrive(bytes);
        monitor.Timer1Timer();
    }
    void Tick() { monitor.Timer1Timer(); }
    // The countdown starts and the user presses one of its buttons (or the program ends).
    void ShutdownAnswered(int result) {
        monitor.RunShutdown();
        monitor.CountdownAnswered(result);
    }

    void WriteSettingsFile(const std::string& text) { store.files[settings.FilePath()] = text; }
    void SetOffAfter(const std::string& value) {
        WriteSettingsFile("[UPS]\r\nOFFAfter=" + value + "\r\n");
    }
};

}  // namespace zelto::fakes
