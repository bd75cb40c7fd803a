#pragma once
// What the program's event log needs of Windows: the clock, the journal file and a notifier that
// shows the news in the tray icon's balloon.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "core/events/event.h"
#include "core/events/journal.h"
#include "core/events/notifications.h"

namespace zelto {

class TForm1;

// The system's time, with the offset of the local time zone (daylight saving included) at that
// moment.
class SystemClock final : public Clock {
public:
    Moment Now() override;
};

// The journal as a file on disk: every line appended and flushed to the disk on its own, so that
// a power cut loses at most the line being written. The path is UTF-8.
class DiskJournalFile final : public JournalFileAt {
public:
    using JournalFileAt::JournalFileAt;
    std::uint64_t Size() override;
    bool Append(std::string_view bytes) override;
    bool Rotate() override;
};

// The tray icon's balloon. The icon is looked up at each notification: the main window makes it
// only once the program is attached, after the event log exists.
class TrayBalloonNotifier final : public Notifier {
public:
    explicit TrayBalloonNotifier(TForm1& form) : form_(form) {}
    void Show(const Notification& notification) override;

private:
    TForm1& form_;
};

}  // namespace zelto
