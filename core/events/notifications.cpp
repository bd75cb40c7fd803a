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
std::string PowerText(bool onBattery, int charge) {
    if (charge >= 0) {
        return TrayTipText(onBattery, charge);
    }
    return onBattery ? "Питание от UPS" : "Питание от сети";
}

}  // namespace

std::optional<Notification> NotificationFor(const Event& event) {
    const auto made = [&](std::string title, std::string body) {
        return Notification{event.kind, std::move(title), std::move(body)};
    };
    switch (event.kind) {
        case EventKind::MainsLost:
            return made("Сеть пропала", PowerText(true, ChargeOf(event)));
        case EventKind::MainsBack:
            return made("Сеть восстановлена", PowerText(false, ChargeOf(event)));
        case EventKind::LinkLost:
            return made("Нет связи с UPS", "UPS не отвечает больше 10 секунд");
        case EventKind::LinkBack:
            return made("Связь с UPS восстановлена", "UPS снова отвечает");
        case EventKind::PortMissing:
            return made("Порт UPS не найден",
                        "Компьютер не защищён, пока порт UPS не появится в системе");
        case EventKind::BatteryLow:
            return made("Батарея разряжена", "UPS сообщает о низком заряде батареи");
        case EventKind::UpsFault:
            return made("Неисправность UPS", "UPS сообщает о неисправности");
        case EventKind::CountdownFinished:
            return made("Завершение работы", "Отсчёт окончен: компьютер выключается");
        case EventKind::TrayMissing:
            return made("Окно UPS Zelto остаётся на экране",
                        "На этом рабочем столе нет области уведомлений для значка. Закрытое окно "
                        "сворачивается; завершает программу кнопка «Выход»");
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
    const auto notification = NotificationFor(event);
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
