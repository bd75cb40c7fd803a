#pragma once
// The stand-in's command line.

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

namespace zelto {

struct Refusal {
    QString errorName;  // e.g. "org.freedesktop.DBus.Error.AccessDenied"
    QString message;
};

struct StandinOptions {
    QString address;                   // the private bus to serve on
    QString logPath;                   // empty: standard output only
    QHash<QString, Refusal> refusals;  // by method name
    QSet<QString> stalls;              // methods that never get an answer
    // What CanPowerOff, CanHibernate and CanSuspend answer, by action ("Hibernate"): "yes",
    // "challenge", "no" or "na". An action not given answers "yes".
    QHash<QString, QString> abilities;
};

// The methods of org.freedesktop.login1.Manager the stand-in serves.
QStringList ServedMethods();
// The actions whose Can... method the stand-in serves: PowerOff, Hibernate, Suspend.
QStringList AskableActions();

// Parses the arguments (without the program name). `systemBusAddress` is the value of
// DBUS_SYSTEM_BUS_ADDRESS, used when --address is not given. On a bad command line, or one
// that would lead to the real system bus, `error` says why and nothing is returned.
std::optional<StandinOptions> ParseStandinOptions(const QStringList& arguments,
                                                  const QString& systemBusAddress, QString& error);

extern const char* const kStandinUsage;

}  // namespace zelto
