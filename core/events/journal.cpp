#include "core/events/journal.h"

#include "core/base/errors.h"
#include "core/base/joined.h"
#include "core/events/journal_line.h"

namespace zelto {

void Journal::OnEvent(const Event& event) {
    Write(JournalLine(event));
}

void Journal::Write(const std::string& line) {
    recent_.push_back(line);
    if (recent_.size() > kJournalRecentLines) {
        recent_.pop_front();
    }
    const std::string bytes = line + "\n";
    const std::uint64_t size = file_.Size();
    // A failed rename leaves the journal growing rather than losing the events; it is reported.
    if (size > 0 && size + bytes.size() > kJournalMaxBytes && !file_.Rotate()) {
        Failed();
    }
    if (!file_.Append(bytes)) {
        Failed();
    }
}

std::string Journal::RecentText(std::string_view lineBreak) const {
    return Joined(recent_, lineBreak);
}

void Journal::Failed() {
    if (reported_) {
        return;
    }
    reported_ = true;
    if (reportFailure_) {
        reportFailure_(UnableToWrite(file_.Path()).what());
    }
}

}  // namespace zelto
