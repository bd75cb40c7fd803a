#pragma once
// The whole Windows program put together from its parts: the settings file in the current
// directory, the serial port, the system's port table, the three windows and the error boxes,
// wired to the program, the event log with its journal beside the settings file and its news in
// the tray balloon, the NUT server when the settings turn it on, and the connections that follow
// a UPS another machine serves. The power requests come from the caller: the program proper
// passes the real ones, its test build a recorder.

#include <memory>

#include "core/events/event_log.h"
#include "core/program/program.h"
#include "win32/about_box.h"
#include "win32/countdown_dialog.h"
#include "win32/event_parts.h"
#include "win32/images.h"
#include "win32/journal_window.h"
#include "win32/main_window.h"
#include "win32/message_box_reporter.h"
#include "win32/nut_client.h"
#include "win32/nut_server.h"
#include "win32/registry_port_table.h"
#include "win32/ui_style.h"
#include "win32/win32_com_port.h"
#include "win32/win32_settings_store.h"

namespace zelto {

class ZeltoApplication {
public:
    // `trayNotify` is how the tray icon reaches the shell (Shell_NotifyIconW but in tests).
    explicit ZeltoApplication(PowerRequests& power,
                              TrayIcon::ShellNotify trayNotify = &Shell_NotifyIconW);
    ZeltoApplication(const ZeltoApplication&) = delete;
    ZeltoApplication& operator=(const ZeltoApplication&) = delete;
    // The journal's last line of a run that ended in order.
    ~ZeltoApplication() { Exiting(); }

    // Start-up: settings, tray icon, port list, port and the first tick; then Timer1 polls. The
    // main window stays hidden: the program lives in the tray. Then the NUT server, when the
    // settings turn it on.
    void Start() {
        form1_.FormCreate();
        StartNutServer();
    }
    // The message loop until Exit; the exit code.
    int Run();

    TForm1& Form1() { return form1_; }
    EventLog& Events() { return events_; }
    // The journal window, built now if it has not shown yet.
    TJournalForm& JournalWindow();
    // The NUT server, while the settings turn it on; null otherwise.
    NutServer* Nut() { return nut_.get(); }

private:
    void StartNutServer();
    // Journals the exit, once: at the end of the message loop or of the session.
    void Exiting();

    // Destroyed in the reverse order: the program before the parts it holds references to.
    UiStyle ui_;
    Images images_;
    MessageBoxReporter errors_;
    Win32SettingsStore store_;
    // Read before any window is built: every text is in it.
    const Language language_;
    Win32ComPort port_;
    RegistryPortTable portTable_;
    TForm1 form1_;
    TForm2 form2_;
    TAboutBox aboutBox_;
    SystemClock clock_;
    DiskJournalFile journalFile_;
    TrayBalloonNotifier notifier_;
    // Listens to the event log once built, so it outlives it.
    std::unique_ptr<TJournalForm> journalWindow_;
    EventLog events_;
    bool exited_ = false;
    // The connections to a followed UPS's server and to the one the dialog checks. Before the
    // program, which logs out over the first as it goes.
    WinsockNutClientSocket nutClient_;
    WinsockNutClientSocket nutCheck_;
    Program program_;
    std::unique_ptr<NutServer> nut_;
};

}  // namespace zelto
