#include "qt/journal_window_host.h"

#include "core/events/event_log.h"
#include "qt/journal_window.h"
#include "qt/main_window_host.h"
#include "qt/tray_icon.h"

namespace zelto {

JournalWindowHost::JournalWindowHost(EventLog& events, Clock& clock, MainWindowHost& form)
    : events_(events), clock_(clock), form_(form) {
    connect(form_.Tray(), &TrayIcon::JournalRequested, this, &JournalWindowHost::Open);
    events.AddSink(*this);
}

JournalWindowHost::~JournalWindowHost() = default;

void JournalWindowHost::Open() {
    if (!window_) {
        window_ = std::make_unique<TJournalForm>(events_, clock_, form_.ShownLanguage());
    }
    window_->Refresh();
    window_->showNormal();
    window_->raise();
    window_->activateWindow();
}

void JournalWindowHost::OnEvent(const Event& /*event*/) {
    RefreshIfOpen();
}

void JournalWindowHost::OnTime(Moment /*now*/) {
    RefreshIfOpen();
}

void JournalWindowHost::OnReading(Moment /*now*/) {
    RefreshIfOpen();
}

void JournalWindowHost::RefreshIfOpen() {
    if (window_ && window_->isVisible()) {
        window_->Refresh();
    }
}

}  // namespace zelto
