#include "win32/zelto_application.h"

#include <utility>

namespace zelto {

ZeltoApplication::ZeltoApplication(PowerRequests& power, TrayIcon::ShellNotify trayNotify)
    : language_([this] {
          Settings settings(store_);
          return ReadLanguage(settings);
      }()),
      form1_(ui_, images_, language_),
      // Owned by the main window: no taskbar entries of their own, and modal for it.
      form2_(form1_.Handle(), ui_, language_),
      aboutBox_(form1_.Handle(), ui_, images_, language_),
      journalFile_(Settings(store_).PathBeside(kJournalFileName)),
      notifier_(form1_),
      events_(clock_, journalFile_, notifier_, errors_),
      program_(Platform{store_, port_, portTable_, form1_, form1_, form2_, power, events_, &events_,
                        &nutClient_, &nutCheck_, &clock_}) {
    form1_.Attach(program_, program_.State(), aboutBox_, errors_, std::move(trayNotify));
    form2_.SetAnswer([this](int result) { program_.CountdownAnswered(result); });
    nutClient_.OnAnswer([this] { program_.FollowedUpsAnswered(); });
    form1_.SetHooks({[this] { JournalWindow().ShowJournal(); }, [this] { Exiting(); },
                     [this] { events_.TrayMissing(); }});
}

TJournalForm& ZeltoApplication::JournalWindow() {
    if (!journalWindow_) {
        journalWindow_ = std::make_unique<TJournalForm>(ui_, events_.JournalLines(), language_);
        events_.AddSink(*journalWindow_);
    }
    return *journalWindow_;
}

void ZeltoApplication::Exiting() {
    if (!exited_) {
        exited_ = true;
        events_.Exiting();
    }
}

void ZeltoApplication::StartNutServer() {
    Settings settings(store_);
    // Through the event log: the server's error boxes are journalled like the program's.
    nut_ = NutServer::Start(settings, events_, program_.Nut());
}

int ZeltoApplication::Run() {
    MSG message{};
    for (;;) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            break;
        }
        // Tab, Escape and Enter among the controls of whichever window they are for.
        const HWND networkUps = form1_.NetworkUpsDialogHandle();
        const bool dialogKey = IsDialogMessageW(form2_.Handle(), &message) ||
                               IsDialogMessageW(aboutBox_.Handle(), &message) ||
                               (networkUps != nullptr && IsDialogMessageW(networkUps, &message)) ||
                               IsDialogMessageW(form1_.Handle(), &message);
        if (!dialogKey) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return static_cast<int>(message.wParam);
}

}  // namespace zelto
