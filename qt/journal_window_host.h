#pragma once
// What stays of the "Журнал" window while it has never been opened: nothing but the menu
// item's connection. The window is built the first time the user chooses "Журнал". The event log
// tells it of each event and each tick, as it tells the Windows one; it redraws only while open.

#include <QObject>

#include <memory>

#include "core/events/event.h"

namespace zelto {

class Clock;
class EventLog;
class TJournalForm;
class MainWindowHost;

class JournalWindowHost : public QObject, public EventSink {
    Q_OBJECT

public:
    // None is owned; all must outlive this. Joins the event log's sinks.
    JournalWindowHost(EventLog& events, Clock& clock, MainWindowHost& form);
    ~JournalWindowHost() override;

    // The window; null until it has been opened.
    TJournalForm* WindowIfBuilt() const { return window_.get(); }

public slots:
    // "Журнал": builds the window the first time, fills it, shows it and brings it to the front.
    void Open();

    // EventSink: a new journal line, a record in the history, and once a tick the time the
    // chart ends at.
    void OnEvent(const Event& event) override;
    void OnTime(Moment now) override;
    void OnReading(Moment now) override;

private:
    void RefreshIfOpen();

    const EventLog& events_;
    Clock& clock_;
    MainWindowHost& form_;
    std::unique_ptr<TJournalForm> window_;
};

}  // namespace zelto
