#include "notification_server.h"

#include <QDBusVariant>
#include <QRegularExpression>

namespace zelto {
namespace {

// One field of the record: a line of its own per notification, fields apart by tabs.
QString Flat(QString text) {
    static const QRegularExpression breaks(QStringLiteral("[\\t\\r\\n]"));
    return text.replace(breaks, QStringLiteral(" "));
}

int Urgency(const QVariantMap& hints) {
    const auto found = hints.constFind(QStringLiteral("urgency"));
    if (found == hints.constEnd()) {
        return -1;
    }
    QVariant value = *found;
    if (value.canConvert<QDBusVariant>()) {
        value = value.value<QDBusVariant>().variant();
    }
    bool ok = false;
    const int urgency = value.toInt(&ok);
    return ok ? urgency : -1;
}

}  // namespace

NotificationServer::NotificationServer(bool stall, CallLog& log, QObject* parent)
    : QObject(parent), stall_(stall), log_(log) {}

uint NotificationServer::Notify(const QString& appName, uint replacesId, const QString& appIcon,
                                const QString& summary, const QString& body,
                                const QStringList& /*actions*/, const QVariantMap& hints,
                                int expireTimeout) {
    const QChar tab(QLatin1Char('\t'));
    QString line = QStringLiteral("Notify") + tab + Flat(appName) + tab + Flat(appIcon) + tab +
                   Flat(summary) + tab + Flat(body) + tab +
                   QStringLiteral("urgency=%1").arg(Urgency(hints)) + tab +
                   QStringLiteral("expire=%1").arg(expireTimeout);
    if (stall_) {
        // Taking the reply over and never sending it leaves the caller waiting.
        setDelayedReply(true);
        log_.Write(line + tab + QStringLiteral("(left unanswered)"));
        return 0;
    }
    log_.Write(line);
    return replacesId != 0 ? replacesId : ++lastId_;
}

QStringList NotificationServer::GetCapabilities() {
    return {QStringLiteral("body")};
}

QString NotificationServer::GetServerInformation(QString& vendor, QString& version,
                                                 QString& specVersion) {
    vendor = QStringLiteral("zelto");
    version = QStringLiteral("1.0");
    specVersion = QStringLiteral("1.2");
    return QStringLiteral("notify-standin");
}

void NotificationServer::CloseNotification(uint id) {
    log_.Write(QStringLiteral("CloseNotification %1").arg(id));
    // 3: closed by a call to CloseNotification.
    emit NotificationClosed(id, 3);
}

}  // namespace zelto
