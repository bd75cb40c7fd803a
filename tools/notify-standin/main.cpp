// notify-standin: takes org.freedesktop.Notifications on a private bus and records what it is
// sent. It never shows anything and never serves on the desktop's own session bus.

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QTimer>

#include <cstdio>

#include "call_log.h"
#include "notification_server.h"
#include "real_system_bus.h"

namespace {

const char* const kUsage =
    "usage: notify-standin --address ADDRESS [--log FILE] [--stall]\n"
    "  Serves org.freedesktop.Notifications on the private bus at ADDRESS and records each\n"
    "  notification as one timed line (standard output, and FILE when given):\n"
    "    TIME Notify<TAB>app<TAB>icon<TAB>summary<TAB>body<TAB>urgency=N<TAB>expire=MS\n"
    "  --stall  record notifications but never answer them, as a hung service would\n";

int Fail(const QString& message) {
    std::fprintf(stderr, "notify-standin: %s\n", qPrintable(message));
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    QString address;
    QString logPath;
    bool stall = false;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& option = arguments[i];
        if (option == QLatin1String("--help")) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (option == QLatin1String("--stall")) {
            stall = true;
        } else if ((option == QLatin1String("--address") || option == QLatin1String("--log")) &&
                   i + 1 < arguments.size()) {
            (option == QLatin1String("--address") ? address : logPath) = arguments[++i];
        } else {
            std::fputs(kUsage, stderr);
            return Fail(QStringLiteral("unexpected \"%1\"").arg(option));
        }
    }
    if (address.isEmpty()) {
        std::fputs(kUsage, stderr);
        return Fail(QStringLiteral("no bus given"));
    }
    // Neither the system bus nor the desktop's own session, whose real service it would shadow.
    if (zelto::NamesRealSystemBus(address) ||
        address == qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS")) {
        return Fail(
            QStringLiteral("\"%1\" is not a private bus; refusing to serve on it").arg(address));
    }
    zelto::CallLog log(logPath);
    if (!log.IsOpen()) {
        return Fail(QStringLiteral("cannot open %1: %2").arg(logPath, log.ErrorString()));
    }

    QDBusConnection bus = QDBusConnection::connectToBus(address, QStringLiteral("notify-standin"));
    if (!bus.isConnected()) {
        return Fail(
            QStringLiteral("cannot connect to %1: %2").arg(address, bus.lastError().message()));
    }
    zelto::NotificationServer server(stall, log);
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &server,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals)) {
        return Fail(QStringLiteral("cannot export /org/freedesktop/Notifications"));
    }
    if (!bus.registerService(QStringLiteral("org.freedesktop.Notifications"))) {
        return Fail(QStringLiteral("cannot own org.freedesktop.Notifications: %1")
                        .arg(bus.lastError().message()));
    }
    std::printf("notify-standin: serving org.freedesktop.Notifications on %s\n",
                qPrintable(address));
    std::fflush(stdout);

    // Outlive the bus by no more than a moment.
    QTimer busWatch;
    QObject::connect(&busWatch, &QTimer::timeout, &app, [&bus] {
        if (!bus.isConnected()) {
            QCoreApplication::exit(0);
        }
    });
    busWatch.start(500);
    return QCoreApplication::exec();
}
