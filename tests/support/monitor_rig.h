#pragma once
// A Monitor wired to fakes, for the poll cycle, power state and shutdown tests.

#include <string>

#include "core/base/program_state.h"
#include "core/base/settings.h"
#include "core/monitor/monitor.h"
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
    Monitor monitor{MonitorParts{state, port, display, countdown, power, errors, settings}};

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
