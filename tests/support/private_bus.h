#pragma once
// A private dbus-daemon standing in for the system bus, and logind-standin on it, so that tests
// and the power path never reach the machine's real system bus. Another private daemon can stand
// in for the session bus, with notify-standin on it in place of the desktop's notifications.

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace zelto::test {

// Ends the whole test program at once when `address` is, or may be, the real system bus.
void RequirePrivateBus(const QString& address);
// The same for DBUS_SYSTEM_BUS_ADDRESS, which must be set: unset means the real system bus.
void RequirePrivateSystemBusEnvironment();

class PrivateBus {
public:
    // Starts dbus-daemon listening on `directory`/bus; with no directory, on a fresh temporary
    // one. Check Started().
    explicit PrivateBus(const QString& directory = {});
    // Stops the daemon.
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    bool Started() const { return !address_.isEmpty(); }
    QString Error() const { return error_; }
    // "unix:path=<directory>/bus"
    QString Address() const { return address_; }
    QString Directory() const { return directory_; }
    // This process's environment with DBUS_SYSTEM_BUS_ADDRESS set to this bus, for programs
    // started on it.
    QProcessEnvironment SystemBusEnvironment() const;

private:
    std::unique_ptr<QTemporaryDir> ownDirectory_;
    QString directory_;
    QProcess daemon_;
    QString address_;
    QString error_;
};

class LogindStandin {
public:
    // Starts logind-standin on `bus`, recording to `bus`.Directory()/logind.log, with further
    // command-line arguments such as {"--refuse", "Suspend=org.freedesktop.DBus.Error.
    // AccessDenied:Not allowed"} or {"--stall", "PowerOff"}. Returns once it owns
    // org.freedesktop.login1; check Started().
    explicit LogindStandin(const PrivateBus& bus, const QStringList& arguments = {});
    ~LogindStandin();
    LogindStandin(const LogindStandin&) = delete;
    LogindStandin& operator=(const LogindStandin&) = delete;

    bool Started() const { return started_; }
    QString Error() const { return error_; }
    QString LogPath() const { return logPath_; }
    // The calls recorded so far, without their times: "PowerOff false", "Suspend false
    // (refused: org.freedesktop.DBus.Error.AccessDenied)", ...
    QStringList Calls() const;
    // Waits until at least `count` calls are recorded; false on timeout.
    bool WaitForCalls(int count, int timeoutMs) const;
    // The calls that ask for a power action (PowerOff, Hibernate, ...), and those that only ask
    // whether one would be carried out ("CanHibernate yes", ...).
    QStringList Requests() const;
    QStringList Questions() const;
    bool WaitForRequests(int count, int timeoutMs) const;

private:
    static bool IsQuestion(const QString& call);
    static bool WaitUntil(const std::function<bool()>& condition, int timeoutMs);

    QProcess process_;
    QString logPath_;
    bool started_ = false;
    QString error_;
};

// The program file of logind-standin in the build folder.
QString LogindStandinProgram();

// One notification as notify-standin recorded it.
struct ShownNotification {
    std::int64_t ms = 0;  // when it arrived, milliseconds since the epoch
    QString app;
    QString icon;
    QString summary;
    QString body;
    int urgency = -1;  // the "urgency" hint; -1 without one
    int expireMs = -1;
    bool answered = true;  // false when the stand-in left it unanswered
};

class NotifyStandin {
public:
    // Starts notify-standin on `bus`, recording to `bus`.Directory()/notify.log; with `stall`
    // it leaves every notification unanswered, as a hung service would. Returns once it owns
    // org.freedesktop.Notifications; check Started().
    explicit NotifyStandin(const PrivateBus& bus, bool stall = false);
    ~NotifyStandin();
    NotifyStandin(const NotifyStandin&) = delete;
    NotifyStandin& operator=(const NotifyStandin&) = delete;

    bool Started() const { return started_; }
    QString Error() const { return error_; }
    QString LogPath() const { return logPath_; }
    // The notifications recorded so far, oldest first.
    std::vector<ShownNotification> Shown() const;
    // Their summaries alone.
    QStringList Summaries() const;
    // Waits until at least `count` notifications are recorded; false on timeout.
    bool WaitForShown(std::size_t count, int timeoutMs) const;

private:
    QProcess process_;
    QString logPath_;
    bool started_ = false;
    QString error_;
};

// The program file of notify-standin in the build folder.
QString NotifyStandinProgram();

}  // namespace zelto::test
