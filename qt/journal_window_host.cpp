#include "qt/journal_window_host.h"

#include "qt/journal_window.h"
#include "qt/main_window_host.h"
#include "qt/tray_icon.h"

namespace zelto {

JournalWindowHost::JournalWindowHost(const EventLog& events, Clock& clock, MainWindowHost& form)
    : events_(events), clock_(clock), form_(form) {
    connect(form_.Tray(), &TrayIcon::JournalRequested, this, &JournalWindowHost::Open);
}

JournalWindowHost::~JournalWindowHost() = default;

void JournalWindowHost::Open() {
    if (!window_) {
        window_ = std::make_unique<TJournalForm>(events_, clock_);
        // After the program's own handler of the same tick, which was connected first, so the
        // tick's record is in the history when the window reads it.
        connect(&form_, &MainWindowHost::pollTick, this, &JournalWindowHost::Tick);
    }
    window_->Refresh();
    window_->showNormal();
    window_->raise();
    window_->activateWindow();
}

void JournalWindowHost::Tick() {
    if (window_->isVisible()) {
        window_->Refresh();
    }
}

}  // namespace zelto
