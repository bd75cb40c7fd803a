#include "qt/desktop_notifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QStringList>
#include <QVariantMap>

#include <utility>

#include "core/base/product.h"

namespace zelto {

unsigned char UrgencyOf(EventKind kind) {
    switch (kind) {
        case EventKind::MainsLost:
        case EventKind::BatteryLow:
        case EventKind::UpsFault:
        case EventKind::CountdownFinished:
        case EventKind::PortMissing:
            return 2;
        default:
            return 1;
    }
}

DesktopNotifier::DesktopNotifier(Notifier& fallback, std::optional<QString> address, int timeoutMs)
    : fallback_(fallback),
      address_(std::move(address)),
      timeoutMs_(timeoutMs),
      connectionName_(
          QStringLiteral("zelto-notify-%1").arg(reinterpret_cast<quintptr>(this), 0, 16)) {}

DesktopNotifier::~DesktopNotifier() {
    if (connected_) {
        QDBusConnection::disconnectFromBus(connectionName_);
    }
}

void DesktopNotifier::Show(const Notification& notification) {
    // A bus that went away (the session's daemon restarted) is connected afresh.
    if (connected_ && !QDBusConnection(connectionName_).isConnected()) {
        QDBusConnection::disconnectFromBus(connectionName_);
        connected_ = false;
    }
    if (!connected_) {
        const QDBusConnection bus =
            address_ ? QDBusConnection::connectToBus(*address_, connectionName_)
                     : QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName_);
        connected_ = bus.isConnected();
        if (!connected_) {
            // Qt keeps the failed connection under its name; the next try needs the name free.
            QDBusConnection::disconnectFromBus(connectionName_);
            FallBack(notification);
            return;
        }
    }

    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    const unsigned char urgency = UrgencyOf(notification.kind);
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(urgency));
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("upszelto"));
    call << QString::fromUtf8(kApplicationTitle) << 0u << QStringLiteral("upszelto")
         << QString::fromStdString(notification.title) << QString::fromStdString(notification.body)
         << QStringList() << hints << (urgency == 2 ? 0 : kExpireMs);

    const QDBusPendingCall pending = QDBusConnection(connectionName_).asyncCall(call, timeoutMs_);
    auto* watcher = new QDBusPendingCallWatcher(pending, this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, notification](QDBusPendingCallWatcher* finished) {
                Answered(finished, notification);
            });
}

void DesktopNotifier::Answered(QDBusPendingCallWatcher* watcher, const Notification& notification) {
    watcher->deleteLater();
    // An error is most often ServiceUnknown: no notification service on this bus. A time-out
    // may mean a service that shows it late, but twice is better than never.
    if (watcher->isError()) {
        FallBack(notification);
        return;
    }
    emit delivered(QString::fromStdString(notification.title));
}

void DesktopNotifier::FallBack(const Notification& notification) {
    fallback_.Show(notification);
    emit fellBack(QString::fromStdString(notification.title));
}

}  // namespace zelto
