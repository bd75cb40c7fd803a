#pragma once
// LiveProgram: the whole program in this process, put together from its real parts the way the
// program entry does: the settings file in the current directory, the serial port, the system's
// port table, the countdown dialog, power requests and error boxes, wired to the main window.
// The one difference: power requests go to the given bus, which must be a private one.
//
//   QDir::setCurrent(folderWithIni);           // UPSZelto.ini with "Ports" naming a simulator
//   LiveProgram live(bus.Address());
//   live.Start();                              // start-up and the first tick; Timer1 polls
//
// For tests and benchmarks that look at the widgets or time the program from inside.

#include <QString>

#include "app/program.h"
#include "app/qt/file_settings_store.h"
#include "app/qt/main_window.h"
#include "app/qt/message_box_reporter.h"
#include "link/qt/qt_com_port.h"
#include "link/qt/qt_port_table.h"
#include "monitor/qt/countdown_dialog.h"
#include "monitor/qt/logind_power_requests.h"

namespace zelto::test {

class LiveProgram {
public:
    // Builds every part, hidden and not yet started. Ends the test program at once when
    // `systemBusAddress` is, or may be, the real system bus.
    explicit LiveProgram(const QString& systemBusAddress);
    LiveProgram(const LiveProgram&) = delete;
    LiveProgram& operator=(const LiveProgram&) = delete;

    // Start-up (settings, port list, port, first tick), after which Timer1 polls.
    void Start();

    TForm1& Form() { return form_; }
    CountdownDialog& Countdown() { return countdown_; }
    MessageBoxReporter& Errors() { return errors_; }
    QtComPort& Port() { return port_; }
    Program& Main() { return program_; }

private:
    // In the order the program entry creates them, so they go in the reverse order.
    MessageBoxReporter errors_;
    FileSettingsStore store_;
    QtComPort port_;
    QtPortTable portTable_;
    LogindPowerRequests power_;
    TForm1 form_;
    CountdownDialog countdown_;
    Program program_;
};

}  // namespace zelto::test
