#include "qt/logind_power_requests.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>

#include <utility>

namespace zelto {
namespace {

QString MethodName(PowerAction action) {
    switch (action) {
        case PowerAction::PowerOff:
            return QStringLiteral("PowerOff");
        case PowerAction::Hibernate:
            return QStringLiteral("Hibernate");
        case PowerAction::Suspend:
            return QStringLiteral("Suspend");
    }
    return {};
}

std::string Reason(const QString& name, const QString& message) {
    return (name + QStringLiteral(": ") + message).toStdString();
}

// The reason a connection could not be made; libdbus names one almost always.
std::string ConnectionFailure(const QDBusError& error) {
    if (error.isValid() && !error.name().isEmpty()) {
        return Reason(error.name(), error.message());
    }
    return Reason(QStringLiteral("org.freedesktop.DBus.Error.Disconnected"),
                  QStringLiteral("Not connected to D-Bus server"));
}

}  // namespace

LogindPowerRequests::LogindPowerRequests()
    : timeoutMs_(kDefaultTimeoutMs),
      connectionName_(
          QStringLiteral("zelto-logind-%1").arg(reinterpret_cast<quintptr>(this), 0, 16)) {}

LogindPowerRequests::LogindPowerRequests(QString address, int timeoutMs)
    : address_(std::move(address)),
      timeoutMs_(timeoutMs),
      connectionName_(
          QStringLiteral("zelto-logind-%1").arg(reinterpret_cast<quintptr>(this), 0, 16)) {}

LogindPowerRequests::~LogindPowerRequests() {
    QDBusConnection::disconnectFromBus(connectionName_);
}

std::optional<std::string> LogindPowerRequests::Request(PowerAction action) {
    QDBusMessage call = ManagerCall(MethodName(action));
    // Not interactive: nobody may be at the screen to answer an authentication prompt.
    call << false;
    QDBusMessage reply;
    if (const auto failure = Call(call, reply)) {
        return failure;
    }
    return std::nullopt;
}

CapabilityAnswer LogindPowerRequests::Capability(PowerAction action) {
    QDBusMessage reply;
    if (const auto failure = Call(ManagerCall(QStringLiteral("Can") + MethodName(action)), reply)) {
        return CapabilityAnswer{PowerCapability::Unknown, *failure};
    }
    const QVariantList arguments = reply.arguments();
    const QString answer = arguments.size() == 1 ? arguments.front().toString() : QString();
    if (answer == QLatin1String("yes")) {
        return CapabilityAnswer{PowerCapability::Yes, {}};
    }
    if (answer == QLatin1String("challenge")) {
        return CapabilityAnswer{PowerCapability::Challenge, {}};
    }
    if (answer == QLatin1String("no")) {
        return CapabilityAnswer{PowerCapability::No, {}};
    }
    if (answer == QLatin1String("na")) {
        return CapabilityAnswer{PowerCapability::NotAvailable, {}};
    }
    return CapabilityAnswer{PowerCapability::Unknown,
                            ("logind answered \"" + answer + "\"").toStdString()};
}

QDBusMessage LogindPowerRequests::ManagerCall(const QString& method) {
    return QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.login1"),
                                          QStringLiteral("/org/freedesktop/login1"),
                                          QStringLiteral("org.freedesktop.login1.Manager"), method);
}

std::optional<std::string> LogindPowerRequests::Call(const QDBusMessage& call,
                                                     QDBusMessage& reply) {
    // A connection the bus dropped stays dropped; start afresh, since the one request of an
    // outage must not fail for a bus that has come back since.
    if (!QDBusConnection(connectionName_).isConnected()) {
        QDBusConnection::disconnectFromBus(connectionName_);
    }
    const QDBusConnection bus =
        address_ ? QDBusConnection::connectToBus(*address_, connectionName_)
                 : QDBusConnection::connectToBus(QDBusConnection::SystemBus, connectionName_);
    if (!bus.isConnected()) {
        return ConnectionFailure(bus.lastError());
    }
    reply = bus.call(call, QDBus::Block, timeoutMs_);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        return Reason(reply.errorName(), reply.errorMessage());
    }
    if (reply.type() != QDBusMessage::ReplyMessage) {
        return Reason(QStringLiteral("org.freedesktop.DBus.Error.NoReply"),
                      QStringLiteral("No reply from logind"));
    }
    return std::nullopt;
}

}  // namespace zelto
