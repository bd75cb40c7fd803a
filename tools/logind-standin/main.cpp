// logind-standin: answers systemd-logind's power methods on a private bus and records them.
// It never acts on them and never serves on the real system bus.

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QTimer>

#include <cstdio>

#include "call_log.h"
#include "logind_manager.h"
#include "standin_options.h"

namespace {

int Fail(const QString& message) {
    std::fprintf(stderr, "logind-standin: %s\n", qPrintable(message));
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    if (arguments.contains(QStringLiteral("--help"))) {
        std::fputs(zelto::kStandinUsage, stdout);
        return 0;
    }

    QString error;
    const auto options = zelto::ParseStandinOptions(
        arguments, qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS"), error);
    if (!options) {
        std::fputs(zelto::kStandinUsage, stderr);
        return Fail(error);
    }
    zelto::CallLog log(options->logPath);
    if (!log.IsOpen()) {
        return Fail(QStringLiteral("cannot open %1: %2").arg(options->logPath, log.ErrorString()));
    }

    // Only ever the explicit address: QDBusConnection::systemBus() could fall back to the real
    // system bus.
    QDBusConnection bus =
        QDBusConnection::connectToBus(options->address, QStringLiteral("logind-standin"));
    if (!bus.isConnected()) {
        return Fail(QStringLiteral("cannot connect to %1: %2")
                        .arg(options->address, bus.lastError().message()));
    }
    zelto::LogindManager manager(*options, log);
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/login1"), &manager,
                            QDBusConnection::ExportAllSlots)) {
        return Fail(QStringLiteral("cannot export /org/freedesktop/login1"));
    }
    if (!bus.registerService(QStringLiteral("org.freedesktop.login1"))) {
        return Fail(
            QStringLiteral("cannot own org.freedesktop.login1: %1").arg(bus.lastError().message()));
    }
    std::printf("logind-standin: serving org.freedesktop.login1 on %s\n",
                qPrintable(options->address));
    std::fflush(stdout);

    // Outlive the bus by no more than a moment: a stand-in without its bus only gets in the way.
    QTimer busWatch;
    QObject::connect(&busWatch, &QTimer::timeout, &app, [&bus] {
        if (!bus.isConnected()) {
            QCoreApplication::exit(0);
        }
    });
    busWatch.start(500);
    return QCoreApplication::exec();
}
