#include "core/events/event_log.h"

#include "core/base/errors.h"

namespace zelto {

EventLog::EventLog(Clock& clock, JournalFile& file, Notifier& notifier, ErrorReporter& boxes)
    : boxes_(boxes),
      journal_(file, [this](const std::string& text) { Report(text); }),
      notifications_(notifier),
      sinks_{&journal_, &notifications_},
      recorder_(clock, sinks_, history_) {}

void EventLog::Report(const std::string& text) {
    // Journalled first: the box may be the last thing the user sees before the power goes. In
    // the box's own words, final full stop and all.
    recorder_.ErrorShown(MessageBoxText(text));
    boxes_.Report(text);
}

}  // namespace zelto
