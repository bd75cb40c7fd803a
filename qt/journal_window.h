#pragma once
// "Журнал": the chart of the last 24 hours above the journal's latest lines, newest at the
// bottom, read-only and selectable. It shows what the event log holds when Refresh is called;
// closing it only hides it.

#include <QPlainTextEdit>
#include <QWidget>

#include <string>

#include "core/events/event.h"
#include "qt/history_chart.h"

namespace zelto {

class EventLog;

class TJournalForm : public QWidget {
    Q_OBJECT

public:
    // Neither is owned; both must outlive the window.
    TJournalForm(const EventLog& events, Clock& clock, Language language,
                 QWidget* parent = nullptr);

    // Reads the history and the journal's lines again; the lines are replaced only when they
    // changed, so that a selection stays while nothing new happens.
    void Refresh();

    HistoryChart& Chart() { return chart_; }
    QPlainTextEdit& Lines() { return lines_; }

private:
    const EventLog& events_;
    Clock& clock_;
    HistoryChart chart_;
    QPlainTextEdit lines_;
    std::string shown_;
};

}  // namespace zelto
