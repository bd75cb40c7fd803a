#pragma once
// The stand-in's org.freedesktop.Notifications: every notification is recorded as one line
// instead of being shown, and answered (or, when asked, left unanswered like a hung service).
// The questions a client may ask first get plain answers.

#include <QDBusContext>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include "call_log.h"

namespace zelto {

class NotificationServer : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    // `stall`: Notify is recorded but never answered.
    NotificationServer(bool stall, CallLog& log, QObject* parent = nullptr);

public slots:
    // Records "Notify<TAB>app<TAB>icon<TAB>summary<TAB>body<TAB>urgency=N<TAB>expire=MS", with
    // any tab or line end in the texts made a blank; the urgency is -1 when the hint is missing.
    uint Notify(const QString& appName, uint replacesId, const QString& appIcon,
                const QString& summary, const QString& body, const QStringList& actions,
                const QVariantMap& hints, int expireTimeout);
    QStringList GetCapabilities();
    QString GetServerInformation(QString& vendor, QString& version, QString& specVersion);
    void CloseNotification(uint id);

signals:
    void NotificationClosed(uint id, uint reason);

private:
    bool stall_;
    CallLog& log_;
    uint lastId_ = 0;
};

}  // namespace zelto
