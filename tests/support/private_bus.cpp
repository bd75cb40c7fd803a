#include "support/private_bus.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <sys/prctl.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "support/timed_log.h"
#include "tools/logind-standin/real_system_bus.h"

namespace zelto::test {
namespace {

constexpr int kStartTimeoutMs = 10000;

// Children die with the test program, also when it crashes or a timeout kills it, so no
// daemon outlives its test.
void DieWithParent(QProcess& process) {
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

void Stop(QProcess& process) {
    if (process.state() == QProcess::NotRunning) {
        return;
    }
    process.terminate();
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished(3000);
    }
}

// Reads standard output until a line containing `marker` (any line when `marker` is empty)
// has arrived; returns that line, or nothing when the process ended or took too long.
QString WaitForLine(QProcess& process, const QByteArray& marker) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < kStartTimeoutMs) {
        while (process.canReadLine()) {
            const QByteArray line = process.readLine().trimmed();
            if (!line.isEmpty() && (marker.isEmpty() || line.contains(marker))) {
                return QString::fromUtf8(line);
            }
        }
        if (process.state() == QProcess::NotRunning) {
            break;
        }
        process.waitForReadyRead(100);
    }
    return {};
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs) {
            return false;
        }
        QThread::msleep(10);
    }
    return true;
}

QString FailureText(QProcess& process, const QString& what) {
    return what + QStringLiteral(": ") + QString::fromUtf8(process.readAllStandardError());
}

}  // namespace

void RequirePrivateBus(const QString& address) {
    if (NamesRealSystemBus(address)) {
        std::fprintf(stderr,
                     "Refusing to go on: D-Bus address \"%s\" is, or may be, the real system "
                     "bus. Tests only ever use a private dbus-daemon.\n",
                     qPrintable(address));
        std::abort();
    }
}

void RequirePrivateSystemBusEnvironment() {
    const QString address = qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS");
    if (address.isEmpty()) {
        std::fprintf(stderr,
                     "Refusing to go on: DBUS_SYSTEM_BUS_ADDRESS is not set, so the system bus "
                     "would be the real one.\n");
        std::abort();
    }
    RequirePrivateBus(address);
}

QString LogindStandinProgram() {
    return QStringLiteral(ZELTO_BUILD_DIR "/logind-standin");
}

PrivateBus::PrivateBus(const QString& directory) {
    if (directory.isEmpty()) {
        ownDirectory_ =
            std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/zelto-bus-XXXXXX"));
        if (!ownDirectory_->isValid()) {
            error_ = QStringLiteral("no temporary folder: ") + ownDirectory_->errorString();
            return;
        }
        directory_ = ownDirectory_->path();
    } else {
        directory_ = QFileInfo(directory).absoluteFilePath();
    }
    const QString socket = directory_ + QStringLiteral("/bus");
    const QString address = QStringLiteral("unix:path=") + socket;
    RequirePrivateBus(address);

    QFile model(QStringLiteral(ZELTO_SOURCE_DIR "/tools/logind-standin/private-bus.conf.in"));
    if (!model.open(QIODevice::ReadOnly)) {
        error_ = model.fileName() + QStringLiteral(": ") + model.errorString();
        return;
    }
    const QString configPath = directory_ + QStringLiteral("/bus.conf");
    QFile config(configPath);
    if (!config.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        error_ = configPath + QStringLiteral(": ") + config.errorString();
        return;
    }
    config.write(QString::fromUtf8(model.readAll())
                     .replace(QStringLiteral("@SOCKET_PATH@"), socket.toHtmlEscaped())
                     .toUtf8());
    config.close();

    DieWithParent(daemon_);
    daemon_.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--config-file=") + configPath, QStringLiteral("--nofork"),
                   QStringLiteral("--nopidfile"), QStringLiteral("--print-address")});
    if (!daemon_.waitForStarted(kStartTimeoutMs)) {
        error_ = QStringLiteral("dbus-daemon did not start: ") + daemon_.errorString();
        return;
    }
    // The address comes once the socket listens.
    if (WaitForLine(daemon_, {}).isEmpty()) {
        error_ = FailureText(daemon_, QStringLiteral("dbus-daemon printed no address"));
        Stop(daemon_);
        return;
    }
    // Without the daemon's guid, so the address stays good for a new daemon on the same socket.
    address_ = address;
}

PrivateBus::~PrivateBus() {
    Stop(daemon_);
}

QProcessEnvironment PrivateBus::SystemBusEnvironment() const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), address_);
    return environment;
}

LogindStandin::LogindStandin(const PrivateBus& bus, const QStringList& arguments) {
    if (!bus.Started()) {
        error_ = QStringLiteral("no bus: ") + bus.Error();
        return;
    }
    RequirePrivateBus(bus.Address());
    // A log of its own for each stand-in, also when several run on one bus folder in turn.
    logPath_ = bus.Directory() + QStringLiteral("/logind.log");
    for (int n = 2; QFileInfo::exists(logPath_); ++n) {
        logPath_ = bus.Directory() + QStringLiteral("/logind-%1.log").arg(n);
    }

    DieWithParent(process_);
    process_.setProcessEnvironment(bus.SystemBusEnvironment());
    process_.start(LogindStandinProgram(), QStringList{QStringLiteral("--address"), bus.Address(),
                                                       QStringLiteral("--log"), logPath_} +
                                               arguments);
    if (!process_.waitForStarted(kStartTimeoutMs)) {
        error_ =
            LogindStandinProgram() + QStringLiteral(" did not start: ") + process_.errorString();
        return;
    }
    if (WaitForLine(process_, "serving org.freedesktop.login1").isEmpty()) {
        error_ = FailureText(process_, QStringLiteral("logind-standin did not get ready"));
        Stop(process_);
        return;
    }
    started_ = true;
}

LogindStandin::~LogindStandin() {
    Stop(process_);
}

QStringList LogindStandin::Calls() const {
    QFile log(logPath_);
    if (!log.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return {};
    }
    QStringList calls;
    for (const QString& line : QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'))) {
        const qsizetype space = line.indexOf(QLatin1Char(' '));
        if (space > 0) {
            calls << line.mid(space + 1);
        }
    }
    return calls;
}

QStringList LogindStandin::Requests() const {
    QStringList requests = Calls();
    requests.removeIf([](const QString& call) { return IsQuestion(call); });
    return requests;
}

QStringList LogindStandin::Questions() const {
    QStringList questions = Calls();
    questions.removeIf([](const QString& call) { return !IsQuestion(call); });
    return questions;
}

bool LogindStandin::IsQuestion(const QString& call) {
    return call.startsWith(QLatin1String("Can"));
}

bool LogindStandin::WaitForCalls(int count, int timeoutMs) const {
    return WaitUntil([&] { return Calls().size() >= count; }, timeoutMs);
}

bool LogindStandin::WaitForRequests(int count, int timeoutMs) const {
    return WaitUntil([&] { return Requests().size() >= count; }, timeoutMs);
}

bool LogindStandin::WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
    return zelto::test::WaitUntil(condition, timeoutMs);
}

QString NotifyStandinProgram() {
    return QStringLiteral(ZELTO_BUILD_DIR "/notify-standin");
}

NotifyStandin::NotifyStandin(const PrivateBus& bus, bool stall) {
    if (!bus.Started()) {
        error_ = QStringLiteral("no bus: ") + bus.Error();
        return;
    }
    RequirePrivateBus(bus.Address());
    logPath_ = bus.Directory() + QStringLiteral("/notify.log");
    for (int n = 2; QFileInfo::exists(logPath_); ++n) {
        logPath_ = bus.Directory() + QStringLiteral("/notify-%1.log").arg(n);
    }
    DieWithParent(process_);
    QStringList arguments{QStringLiteral("--address"), bus.Address(), QStringLiteral("--log"),
                          logPath_};
    if (stall) {
        arguments << QStringLiteral("--stall");
    }
    process_.start(NotifyStandinProgram(), arguments);
    if (!process_.waitForStarted(kStartTimeoutMs)) {
        error_ =
            NotifyStandinProgram() + QStringLiteral(" did not start: ") + process_.errorString();
        return;
    }
    if (WaitForLine(process_, "serving org.freedesktop.Notifications").isEmpty()) {
        error_ = FailureText(process_, QStringLiteral("notify-standin did not get ready"));
        Stop(process_);
        return;
    }
    started_ = true;
}

NotifyStandin::~NotifyStandin() {
    Stop(process_);
}

std::vector<ShownNotification> NotifyStandin::Shown() const {
    std::vector<ShownNotification> shown;
    for (const TimedLine& line : ReadTimedLog(logPath_)) {
        const QStringList fields = QString::fromStdString(line.text).split(QLatin1Char('\t'));
        if (fields.size() < 7 || fields[0] != QLatin1String("Notify")) {
            continue;
        }
        ShownNotification notification;
        notification.ms = line.ms;
        notification.app = fields[1];
        notification.icon = fields[2];
        notification.summary = fields[3];
        notification.body = fields[4];
        notification.urgency = fields[5].section(QLatin1Char('='), 1).toInt();
        notification.expireMs = fields[6].section(QLatin1Char('='), 1).toInt();
        notification.answered = fields.size() == 7;
        shown.push_back(notification);
    }
    return shown;
}

QStringList NotifyStandin::Summaries() const {
    QStringList summaries;
    for (const auto& notification : Shown()) {
        summaries << notification.summary;
    }
    return summaries;
}

bool NotifyStandin::WaitForShown(std::size_t count, int timeoutMs) const {
    return WaitUntil([&] { return Shown().size() >= count; }, timeoutMs);
}

}  // namespace zelto::test
