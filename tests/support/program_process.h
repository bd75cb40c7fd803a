#pragma once
// ProgramProcess: the real program (build/upszelto) for an end-to-end test. It runs offscreen
// in a private temporary working directory whose UPSZelto.ini names the given link (the
// simulator's pseudo-terminal) as the only port, with the system bus pointing at a private bus,
// so it can neither open a real serial port nor reach the real power management.
//
//   PrivateBus bus;  PtySim sim;  ...
//   ProgramProcess program(bus, sim.LinkPath(), {{"CompOff", "0"}, {"OFFAfter", "2"}});
//   ASSERT_TRUE(program.Start()) << program.Error();
//
// Header-only; the destructor ends the program with SIGTERM (its clean exit) and removes the
// directory.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>

#include <sys/prctl.h>

#include <csignal>
#include <string>
#include <utility>
#include <vector>

#include "support/private_bus.h"
#include "support/timed_log.h"

namespace zelto::test {

class ProgramProcess {
public:
    using Settings = std::vector<std::pair<std::string, std::string>>;

    // `settings` are further keys of section [UPS] ("CompOff", "OffMethod", "OffUPS",
    // "OFFAfter"); "Ports" and "COMPort" are always the link and its index 0.
    ProgramProcess(const PrivateBus& bus, const std::string& linkPath, const Settings& settings)
        : directory_(QDir::tempPath() + QStringLiteral("/zelto-run-XXXXXX")) {
        RequirePrivateBus(bus.Address());
        if (!bus.Started() || !directory_.isValid()) {
            error_ = QStringLiteral("no private bus or no temporary folder");
            return;
        }
        std::string ini = "[UPS]\r\nPorts=" + linkPath + "\r\nCOMPort=0\r\n";
        for (const auto& [key, value] : settings) {
            ini += key + "=" + value + "\r\n";
        }
        QFile file(directory_.filePath(QStringLiteral("UPSZelto.ini")));
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(ini.data(), static_cast<qint64>(ini.size())) !=
                static_cast<qint64>(ini.size())) {
            error_ = file.fileName() + QStringLiteral(": ") + file.errorString();
            return;
        }

        QProcessEnvironment environment = bus.SystemBusEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), directory_.path());
        // Nothing of the desktop the tests happen to run in: no tray on its session bus.
        environment.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        process_.setProcessEnvironment(environment);
        process_.setWorkingDirectory(directory_.path());
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.setStandardOutputFile(OutputPath());
        // The program dies with the test, also when the test crashes or times out.
        process_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    }
    ~ProgramProcess() { Stop(); }
    ProgramProcess(const ProgramProcess&) = delete;
    ProgramProcess& operator=(const ProgramProcess&) = delete;

    static QString Binary() { return QStringLiteral(ZELTO_BUILD_DIR "/upszelto"); }

    // Starts the program; false (see Error) when it could not be started.
    bool Start() {
        if (!error_.isEmpty()) {
            return false;
        }
        startedMs_ = NowMs();
        process_.start(Binary(), {});
        if (!process_.waitForStarted(10000)) {
            error_ = Binary() + QStringLiteral(" did not start: ") + process_.errorString();
            return false;
        }
        return true;
    }

    // Ends it the way a session end or "kill" does; true when it ended by itself in time.
    bool Stop() {
        if (process_.state() == QProcess::NotRunning) {
            return true;
        }
        process_.terminate();
        if (process_.waitForFinished(5000)) {
            return true;
        }
        process_.kill();
        process_.waitForFinished(3000);
        return false;
    }

    // Ends it at once with SIGKILL, as the out-of-memory killer would: nothing more runs in it,
    // not even its clean exit. True once it is gone.
    bool Kill() {
        if (process_.state() == QProcess::NotRunning) {
            return true;
        }
        process_.kill();
        return process_.waitForFinished(5000);
    }

    bool Running() const { return process_.state() == QProcess::Running; }
    qint64 Pid() const { return process_.processId(); }
    // The test's clock just before the program was started.
    std::int64_t StartedMs() const { return startedMs_; }
    QString Error() const { return error_; }
    QString Directory() const { return directory_.path(); }
    QString OutputPath() const { return directory_.filePath(QStringLiteral("output.txt")); }
    // What the program printed (Qt's warnings, mostly).
    QString Output() const {
        QFile file(OutputPath());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

private:
    QTemporaryDir directory_;
    QProcess process_;
    QString error_;
    std::int64_t startedMs_ = 0;
};

}  // namespace zelto::test
