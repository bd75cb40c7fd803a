#pragma once
// The whole program put together from its real parts: the settings file in the current
// directory, the serial port, the system's port table, power requests and error boxes, wired to
// the main window's host, which builds the windows when they are first shown. The program entry
// runs one; tests and benchmarks run one in their own process to look at the widgets.

#include <QString>

#include <memory>
#include <optional>

#include "core/program/program.h"
#include "qt/countdown_dialog.h"
#include "qt/desktop_notifier.h"
#include "qt/event_parts.h"
#include "qt/file_settings_store.h"
#include "qt/journal_window_host.h"
#include "qt/logind_power_requests.h"
#include "qt/main_window.h"
#include "qt/main_window_host.h"
#include "qt/message_box_reporter.h"
#include "qt/nut_client.h"
#include "qt/nut_server.h"
#include "qt/qt_com_port.h"
#include "qt/qt_port_table.h"

namespace zelto {

// Attaches the window to the program: where its actions go, the program's WindowHidden, and what
// the window shows.
void ConnectWindowToProgram(MainWindowHost& form, Program& program);

class ZeltoApplication {
public:
    // Power requests go to the system bus, or to `powerBusAddress` when one is given;
    // notifications to the session bus, or to `notificationBusAddress`. The events are timed by
    // the system's clock, or by `clock` when one is given, which must outlive this.
    explicit ZeltoApplication(const std::optional<QString>& powerBusAddress = std::nullopt,
                              const std::optional<QString>& notificationBusAddress = std::nullopt,
                              Clock* clock = nullptr);
    ZeltoApplication(const ZeltoApplication&) = delete;
    ZeltoApplication& operator=(const ZeltoApplication&) = delete;
    // The journal's last line of a run that ended in order.
    ~ZeltoApplication() { events_.Exiting(); }

    // Start-up: settings, port list, port and the first tick; then Timer1 polls. The main
    // window stays hidden: the program lives in the tray. Then the NUT server, when the settings
    // turn it on.
    void Start() {
        form_.FormCreate();
        StartNutServer();
    }

    MainWindowHost& Form() { return form_; }
    // The countdown dialog, built now if no countdown has shown yet.
    TForm2& Countdown() { return form_.CountdownWindow(); }
    MessageBoxReporter& Errors() { return errors_; }
    EventLog& Events() { return events_; }
    DesktopNotifier& Notifications() { return notifier_; }
    // "Журнал", built when first chosen from the tray menu.
    JournalWindowHost& Journal() { return journalWindow_; }
    QtComPort& Port() { return port_; }
    Program& Main() { return program_; }
    // The NUT server, while the settings turn it on; null otherwise.
    NutServer* Nut() { return nut_.get(); }

private:
    void StartNutServer();

    // Destroyed in the reverse order: the program before the parts it holds references to.
    MessageBoxReporter errors_;
    FileSettingsStore store_;
    QtComPort port_;
    QtPortTable portTable_;
    std::unique_ptr<LogindPowerRequests> power_;
    MainWindowHost form_;
    // The followed UPS's connection and the network UPS dialog's check.
    PosixNutClientSocket nutClient_;
    PosixNutClientSocket nutCheck_;
    SystemClock clock_;
    // The clock that times the events and the chart: clock_ or the caller's.
    Clock& time_;
    DiskJournalFile journalFile_;
    TrayBalloonNotifier balloon_;
    DesktopNotifier notifier_;
    EventLog events_;
    Program program_;
    std::unique_ptr<NutServer> nut_;
    JournalWindowHost journalWindow_{events_, time_, form_};
};

}  // namespace zelto
