#pragma once
// Which events reach the desktop as notifications, in what words, and how often: a flapping
// mains must not flood the screen.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "core/base/settings.h"
#include "core/events/event.h"

namespace zelto {

// Section "UPS": 0 turns notifications off; any other number, or no key, leaves them on.
inline constexpr std::string_view kNotifyKey = "Notify";
// At most one notification of a kind in this many seconds.
inline constexpr std::int64_t kNotifyIntervalSeconds = 60;

struct Notification {
    EventKind kind = EventKind::MainsLost;
    std::string title;
    std::string body;
};

// The notification for an event, nothing for the events that do not notify: mains lost and
// back, link lost (or the port missing) and back, the UPS's battery-low and fault flags raised,
// the shutdown committed (the countdown finished), no tray for the icon.
std::optional<Notification> NotificationFor(Language language, const Event& event);

// Whether "Notify" leaves notifications on. Throws the conversion error of a bad value.
bool ReadNotifyEnabled(Settings& settings);

// Shows a notification: the desktop's notification service, or the tray balloon.
class Notifier {
public:
    virtual ~Notifier() = default;
    virtual void Show(const Notification& notification) = 0;
};

// Tells the notifier what NotificationFor gives, at most once per kind a minute. News held back
// by the limit is shown once the minute is over, when it still differs from what the user was
// last told about the same thing (mains, link): flapping that ends on battery ends with
// "Сеть пропала" on the screen, not with the "back" shown a moment before.
class Notifications final : public EventSink {
public:
    explicit Notifications(Notifier& notifier) : notifier_(notifier) {}

    void SetEnabled(bool enabled);
    void SetLanguage(Language language) { language_ = language; }
    void OnEvent(const Event& event) override;
    void OnTime(Moment now) override;

private:
    // True, and the kind's minute starts again, when the kind may show now.
    bool Allow(EventKind kind, std::int64_t now);
    void Show(const Notification& notification);

    Notifier& notifier_;
    bool enabled_ = true;
    Language language_ = Language::Russian;
    std::map<EventKind, std::int64_t> lastShown_;
    // By topic (the kind that opens it: MainsLost for mains lost and back).
    std::map<EventKind, Notification> heldBack_;
    std::map<EventKind, EventKind> lastTold_;
};

}  // namespace zelto
