#include "core/events/notifications.h"

#include "core/monitor/tray_tip.h"

namespace zelto {
namespace {

// Lost and back of the same thing share a topic; every other kind is a topic of its own.
EventKind TopicOf(EventKind kind) {
    switch (kind) {
        case EventKind::MainsBack:
            return EventKind::MainsLost;
        case EventKind::LinkBack:
        case EventKind::PortMissing:
            return EventKind::LinkLost;
        default:
            return kind;
    }
}

int ChargeOf(const Event& event) {
    return event.readings ? event.readings->chargePercent : -1;
}

// The tray tip's own words for the power source and charge, or the source alone.
std::string PowerText(Language language, bool onBattery, int charge) {
    if (charge >= 0) {
        return TrayTipText(language, onBattery, charge);
    }
    return std::string(Text(language, onBattery ? TextId::OnBattery : TextId::OnMains));
}

}  // namespace

std::optional<Notification> NotificationFor(Language language, const Event& event) {
    const auto made = [&](TextId title, std::string body) {
        return Notification{event.kind, std::string(Text(language, title)), std::move(body)};
    };
    const auto text = [&](TextId id) { return std::string(Text(language, id)); };
    using T = TextId;
    switch (event.kind) {
        case EventKind::MainsLost:
            return made(T::MainsLostTitle, PowerText(language, true, ChargeOf(event)));
        case EventKind::MainsBack:
            return made(T::MainsBackTitle, PowerText(language, false, ChargeOf(event)));
        case EventKind::LinkLost:
            return made(T::LinkLostTitle, text(T::LinkLostBody));
        case EventKind::LinkBack:
            return made(T::LinkBackTitle, text(T::LinkBackBody));
        case EventKind::PortMissing:
            return made(T::PortMissing, text(T::PortMissingBody));
        case EventKind::BatteryLow:
            return made(T::BatteryLowTitle, text(T::BatteryLowBody));
        case EventKind::UpsFault:
            return made(T::UpsFaultTitle, text(T::UpsFaultBody));
        case EventKind::CountdownFinished:
            return made(T::CountdownFinishedTitle, text(T::CountdownFinishedBody));
        case EventKind::TrayMissing:
            return made(T::TrayMissingTitle, text(T::TrayMissingBody));
        default:
            return std::nullopt;
    }
}

bool ReadNotifyEnabled(Settings& settings) {
    return settings.ReadInt(kNotifyKey, "1") != 0;
}

void Notifications::SetEnabled(bool enabled) {
    enabled_ = enabled;
    heldBack_.clear();
}

void Notifications::OnEvent(const Event& event) {
    if (!enabled_) {
        return;
    }
    const auto notification = NotificationFor(language_, event);
    if (!notification) {
        return;
    }
    const std::int64_t now = event.time.unixSeconds;
    if (Allow(notification->kind, now)) {
        Show(*notification);
    } else {
        heldBack_[TopicOf(notification->kind)] = *notification;
    }
}

void Notifications::OnTime(Moment now) {
    for (auto held = heldBack_.begin(); held != heldBack_.end();) {
        const Notification& notification = held->second;
        const auto told = lastTold_.find(held->first);
        const bool news = told == lastTold_.end() || told->second != notification.kind;
        if (!news) {
            held = heldBack_.erase(held);
        } else if (Allow(notification.kind, now.unixSeconds)) {
            const Notification shown = notification;
            held = heldBack_.erase(held);
            Show(shown);
        } else {
            ++held;
        }
    }
}

bool Notifications::Allow(EventKind kind, std::int64_t now) {
    const auto last = lastShown_.find(kind);
    // A clock set back opens the limit rather than closing it for however long it went back.
    if (last != lastShown_.end() && now >= last->second &&
        now - last->second < kNotifyIntervalSeconds) {
        return false;
    }
    lastShown_[kind] = now;
    return true;
}

void Notifications::Show(const Notification& notification) {
    const EventKind topic = TopicOf(notification.kind);
    lastTold_[topic] = notification.kind;
    heldBack_.erase(topic);
    notifier_.Show(notification);
}

}  // namespace zelto
