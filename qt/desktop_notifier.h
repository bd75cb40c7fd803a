#pragma once
// Notifications through the desktop's notification service (org.freedesktop.Notifications on
// the session bus), and through the tray's balloon when there is no such service or it does not
// answer.
//
// The session bus is first connected when the first notification comes: a program that has
// nothing to tell keeps neither the connection nor the thread Qt runs it in. The call is never
// waited for, so a slow or hung service cannot hold up a tick.

#include <QObject>
#include <QString>

#include <optional>

#include "core/events/notifications.h"

class QDBusPendingCallWatcher;

namespace zelto {

class DesktopNotifier final : public QObject, public Notifier {
    Q_OBJECT

public:
    // How long the service may take to take a notification before the balloon shows it instead.
    static constexpr int kDefaultTimeoutMs = 5000;
    // How long a notification stays on the screen unless it is urgent; urgent ones stay until
    // the user closes them, since mains lost while nobody watched must still be there.
    static constexpr int kExpireMs = 10000;

    // The session bus, or the bus at `address` ("unix:path=/tmp/bus"). `fallback` shows what the
    // service did not take; it must outlive this.
    explicit DesktopNotifier(Notifier& fallback, std::optional<QString> address = std::nullopt,
                             int timeoutMs = kDefaultTimeoutMs);
    ~DesktopNotifier() override;
    DesktopNotifier(const DesktopNotifier&) = delete;
    DesktopNotifier& operator=(const DesktopNotifier&) = delete;

    void Show(const Notification& notification) override;

signals:
    // The service took the notification.
    void delivered(const QString& title);
    // The service was not there or did not take it; the fallback showed it.
    void fellBack(const QString& title);

private:
    void Answered(QDBusPendingCallWatcher* watcher, const Notification& notification);
    void FallBack(const Notification& notification);

    Notifier& fallback_;
    std::optional<QString> address_;  // none: the session bus
    int timeoutMs_;
    QString connectionName_;
    bool connected_ = false;
};

// The freedesktop urgency of a notification: 2 (critical) for what may cost the computer its
// power or the user's work, 1 (normal) for the rest.
unsigned char UrgencyOf(EventKind kind);

}  // namespace zelto
