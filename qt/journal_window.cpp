#include "qt/journal_window.h"

#include <QFontDatabase>
#include <QLabel>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

#include "core/events/event_log.h"

namespace zelto {

TJournalForm::TJournalForm(const EventLog& events, Clock& clock, QWidget* parent)
    : QWidget(parent, Qt::Window), events_(events), clock_(clock) {
    setObjectName("TJournalForm");
    setWindowTitle(QString::fromUtf8("Журнал"));
    lines_.setObjectName("JournalLines");
    lines_.setReadOnly(true);
    lines_.setLineWrapMode(QPlainTextEdit::NoWrap);
    lines_.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    lines_.setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    auto* layout = new QVBoxLayout(this);  // owned by the window
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(&chart_, 4);
    auto* caption = new QLabel(QString::fromUtf8("Последние события:"), this);
    layout->addWidget(caption);
    layout->addWidget(&lines_, 2);
    resize(640, 480);
}

void TJournalForm::Refresh() {
    const Moment now = clock_.Now();
    chart_.SetPoints(events_.Readings().Points(now.unixSeconds), now);

    const auto& recent = events_.JournalLines().Recent();
    if (recent.size() == shown_.size() &&
        std::equal(recent.begin(), recent.end(), shown_.begin())) {
        return;
    }
    shown_.assign(recent.begin(), recent.end());
    QString text;
    for (const std::string& line : shown_) {
        if (!text.isEmpty()) {
            text += QLatin1Char('\n');
        }
        text += QString::fromStdString(line);
    }
    lines_.setPlainText(text);
    // The newest line in sight.
    lines_.verticalScrollBar()->setValue(lines_.verticalScrollBar()->maximum());
}

}  // namespace zelto
