#include "qt/journal_window.h"

#include <QFontDatabase>
#include <QLabel>
#include <QScrollBar>
#include <QVBoxLayout>

#include <utility>

#include "core/events/event_log.h"
#include "qt/widgets.h"

namespace zelto {

TJournalForm::TJournalForm(const EventLog& events, Clock& clock, Language language, QWidget* parent)
    : QWidget(parent, Qt::Window), events_(events), clock_(clock), chart_(language) {
    setObjectName("TJournalForm");
    setWindowTitle(ShownText(language, TextId::JournalCaption));
    lines_.setObjectName("JournalLines");
    lines_.setReadOnly(true);
    lines_.setLineWrapMode(QPlainTextEdit::NoWrap);
    lines_.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    lines_.setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    auto* layout = new QVBoxLayout(this);  // owned by the window
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(&chart_, 4);
    auto* caption = new QLabel(ShownText(language, TextId::LatestEvents), this);
    layout->addWidget(caption);
    layout->addWidget(&lines_, 2);
    resize(640, 480);
}

void TJournalForm::Refresh() {
    const Moment now = clock_.Now();
    chart_.SetPoints(events_.Readings().Points(now.unixSeconds), now);

    std::string text = events_.JournalLines().RecentText("\n");
    if (text == shown_) {
        return;
    }
    shown_ = std::move(text);
    lines_.setPlainText(QString::fromStdString(shown_));
    // The newest line in sight.
    lines_.verticalScrollBar()->setValue(lines_.verticalScrollBar()->maximum());
}

}  // namespace zelto
