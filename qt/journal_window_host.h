#pragma once
// What stays of the "Журнал" window while it has never been opened: nothing but the menu
// item's connection. The window is built the first time the user chooses "Журнал", and from
// then on reads the history and the journal once a poll tick, only while it is open.

#include <QObject>

#include <memory>

namespace zelto {

class Clock;
class EventLog;
class TJournalForm;
class MainWindowHost;

class JournalWindowHost : public QObject {
    Q_OBJECT

public:
    // None is owned; all must outlive this.
    JournalWindowHost(const EventLog& events, Clock& clock, MainWindowHost& form);
    ~JournalWindowHost() override;

    // The window; null until it has been opened.
    TJournalForm* WindowIfBuilt() const { return window_.get(); }

public slots:
    // "Журнал": builds the window the first time, fills it, shows it and brings it to the front.
    void Open();

private:
    void Tick();

    const EventLog& events_;
    Clock& clock_;
    MainWindowHost& form_;
    std::unique_ptr<TJournalForm> window_;
};

}  // namespace zelto
