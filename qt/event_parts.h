#pragma once
// What the program's event log needs of Qt: the clock, the journal file and a notifier that
// shows the news in the tray's balloon.

#include <QString>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "core/events/event.h"
#include "core/events/journal.h"
#include "core/events/notifications.h"

namespace zelto {

class TrayIcon;

class SystemClock final : public Clock {
public:
    Moment Now() override;

private:
    std::int64_t offsetQuarter_ = -1;
    std::int32_t offset_ = 0;
};

// The journal as a file on disk: every line appended, flushed and synced on its own, so that a
// power cut loses at most the line being written.
class DiskJournalFile final : public JournalFileAt {
public:
    using JournalFileAt::JournalFileAt;
    std::uint64_t Size() override;
    bool Append(std::string_view bytes) override;
    bool Rotate() override;
};

// The tray's balloon: what every desktop with a tray shows.
class TrayBalloonNotifier final : public Notifier {
public:
    explicit TrayBalloonNotifier(TrayIcon& tray) : tray_(tray) {}
    void Show(const Notification& notification) override;

private:
    TrayIcon& tray_;
};

}  // namespace zelto
