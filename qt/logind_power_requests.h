#pragma once
// Power requests through systemd-logind on the system D-Bus: PowerOff, Hibernate and Suspend
// on org.freedesktop.login1.Manager, and CanPowerOff, CanHibernate and CanSuspend to ask first.

#include <QDBusMessage>
#include <QString>

#include <optional>
#include <string>

#include "core/monitor/power_requests.h"

namespace zelto {

class LogindPowerRequests : public PowerRequests {
public:
    // How long a request waits for logind's answer before giving up: long enough for a busy
    // system, short enough that a hung logind does not freeze the window for good.
    static constexpr int kDefaultTimeoutMs = 5000;

    // The system bus, which DBUS_SYSTEM_BUS_ADDRESS may point elsewhere.
    LogindPowerRequests();
    // The bus at `address`, for example "unix:path=/tmp/bus"; `timeoutMs` bounds each request.
    explicit LogindPowerRequests(QString address, int timeoutMs = kDefaultTimeoutMs);
    ~LogindPowerRequests() override;

    LogindPowerRequests(const LogindPowerRequests&) = delete;
    LogindPowerRequests& operator=(const LogindPowerRequests&) = delete;

    // Nothing when logind accepted the request, otherwise "<D-Bus error name>: <message>".
    std::optional<std::string> Request(PowerAction action) override;
    // logind's "yes", "challenge", "no" or "na"; Unknown with the reason when it could not be
    // asked, or answered something else.
    CapabilityAnswer Capability(PowerAction action) override;

private:
    static QDBusMessage ManagerCall(const QString& method);
    // Sends the call and waits for the reply, at most the time-out; nothing when the reply came,
    // otherwise "<D-Bus error name>: <message>".
    std::optional<std::string> Call(const QDBusMessage& call, QDBusMessage& reply);

    std::optional<QString> address_;  // none: the system bus
    int timeoutMs_;
    QString connectionName_;
};

}  // namespace zelto
