#pragma once
// A Monitor wired to fakes, for the poll cycle, power state and shutdown tests.

#include <string>

#include "core/base/program_state.h"
#include "core/base/settings.h"
#include "core/monitor/monitor.h"
#include "core/program/nut_feed.h"
#include "tests/support/core_fakes.h"
#include "tests/support/status_records.h"

namespace zelto::fakes {

struct MonitorRig {
    ProgramState state;
    FakeComPort port;
    FakeDisplay display;
    FakeCountdown countdown;
    FakePowerRequests power;
    FakeErrorReporter errors;
    FakeSettingsStore store;
    Settings settings{store};
    // What the NUT server would publish; no server waits unless a test hands the feed a wait.
    NutFeed nut;
    Monitor monitor{MonitorParts{state, port, display, countdown, power, errors, settings, &nut}};

    // The bytes arrive, then one tick runs.
    void TickWith(const std::string& bytes) {
        port.Arrive(bytes);
        monitor.Timer1Timer();
    }
    void Tick() { monitor.Timer1Timer(); }

    void WriteSettingsFile(const std::string& text) { store.files[settings.FilePath()] = text; }
    void SetOffAfter(const std::string& value) {
        WriteSettingsFile("[UPS]\r\nOFFAfter=" + value + "\r\n");
    }
};

}  // namespace zelto::fakes
