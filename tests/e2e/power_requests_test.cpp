// Power requests over D-Bus to the logind stand-in on a private bus: what arrives, what a
// refusal or a missing bus reports, and that nothing here can reach the real system bus.
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <unistd.h>

#include <cstdio>
#include <optional>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "qt/logind_power_requests.h"
#include "support/private_bus.h"
#include "tools/logind-standin/real_system_bus.h"

namespace zelto {
namespace {

using test::LogindStandin;
using test::PrivateBus;

class PowerRequestsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bus_.Started()) << bus_.Error().toStdString();
        // Anything in this process that reaches for the system bus gets a private one.
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", bus_.Address().toUtf8());
        test::RequirePrivateSystemBusEnvironment();
    }

    PrivateBus bus_;
};

struct ActionRow {
    const char* name;
    PowerAction action;
    const char* call;
};

void PrintTo(const ActionRow& row, std::ostream* out) {
    *out << row.name;
}

class PowerActionTest : public PowerRequestsTest,
                        public ::testing::WithParamInterface<ActionRow> {};

TEST_P(PowerActionTest, ArrivesOnceAsItsNonInteractiveMethod) {
    const ActionRow row = GetParam();
    LogindStandin logind(bus_);
    ASSERT_TRUE(logind.Started()) << logind.Error().toStdString();
    LogindPowerRequests power(bus_.Address());

    EXPECT_EQ(power.Request(row.action), std::nullopt);
    // logind records before it answers, so the call is in the log once Request() returns.
    EXPECT_EQ(logind.Calls(), QStringList{QString::fromLatin1(row.call)});
}

INSTANTIATE_TEST_SUITE_P(
    Actions, PowerActionTest,
    ::testing::Values(ActionRow{"PowerOff", PowerAction::PowerOff, "PowerOff false"},
                      ActionRow{"Hibernate", PowerAction::Hibernate, "Hibernate false"},
                      ActionRow{"Suspend", PowerAction::Suspend, "Suspend false"}),
    [](const ::testing::TestParamInfo<ActionRow>& info) { return std::string(info.param.name); });

TEST_F(PowerRequestsTest, OneRequesterServesSeveralRequests) {
    LogindStandin logind(bus_);
    ASSERT_TRUE(logind.Started()) << logind.Error().toStdString();
    LogindPowerRequests power(bus_.Address());

    EXPECT_EQ(power.Request(PowerAction::Suspend), std::nullopt);
    EXPECT_EQ(power.Request(PowerAction::Hibernate), std::nullopt);
    EXPECT_EQ(power.Request(PowerAction::PowerOff), std::nullopt);
    EXPECT_EQ(logind.Calls(), (QStringList{"Suspend false", "Hibernate false", "PowerOff false"}));
}

struct RefusalRow {
    const char* name;
    PowerAction action;
    const char* refuse;  // the stand-in's --refuse value
    const char* reason;
};

void PrintTo(const RefusalRow& row, std::ostream* out) {
    *out << row.name;
}

class PowerRefusalTest : public PowerRequestsTest,
                         public ::testing::WithParamInterface<RefusalRow> {};

TEST_P(PowerRefusalTest, RefusalComesBackAsErrorNameAndMessage) {
    const RefusalRow row = GetParam();
    LogindStandin logind(bus_, {QStringLiteral("--refuse"), QString::fromUtf8(row.refuse)});
    ASSERT_TRUE(logind.Started()) << logind.Error().toStdString();
    LogindPowerRequests power(bus_.Address());

    EXPECT_EQ(power.Request(row.action), std::optional<std::string>(row.reason));
    EXPECT_EQ(logind.Calls().size(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, PowerRefusalTest,
    ::testing::Values(
        RefusalRow{"SleepVerb", PowerAction::Hibernate,
                   "Hibernate=org.freedesktop.login1.SleepVerbNotSupported:Sleep verb not "
                   "supported",
                   "org.freedesktop.login1.SleepVerbNotSupported: Sleep verb not supported"},
        RefusalRow{"AccessDenied", PowerAction::PowerOff,
                   "PowerOff=org.freedesktop.DBus.Error.AccessDenied:Not allowed: ask first",
                   "org.freedesktop.DBus.Error.AccessDenied: Not allowed: ask first"},
        RefusalRow{"InhibitedSuspend", PowerAction::Suspend,
                   "Suspend=org.freedesktop.login1.OperationInProgress:Busy",
                   "org.freedesktop.login1.OperationInProgress: Busy"}),
    [](const ::testing::TestParamInfo<RefusalRow>& info) { return std::string(info.param.name); });

// The Can... questions, asked over the bus the way a desktop would ask them.
struct AbilityRow {
    const char* name;
    QStringList arguments;  // the stand-in's
    const char* method;
    const char* answer;
};

void PrintTo(const AbilityRow& row, std::ostream* out) {
    *out << row.name;
}

class AbilityTest : public PowerRequestsTest, public ::testing::WithParamInterface<AbilityRow> {};

TEST_P(AbilityTest, CanMethodAnswersWhatTheCommandLineSays) {
    const AbilityRow& row = GetParam();
    LogindStandin logind(bus_, row.arguments);
    ASSERT_TRUE(logind.Started()) << logind.Error().toStdString();
    const QString name = QStringLiteral("ability-test");
    QString answer;
    QString error;
    {
        QDBusConnection bus = QDBusConnection::connectToBus(bus_.Address(), name);
        ASSERT_TRUE(bus.isConnected());
        const QDBusReply<QString> reply = bus.call(
            QDBusMessage::createMethodCall(
                QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                QStringLiteral("org.freedesktop.login1.Manager"), QString::fromLatin1(row.method)),
            QDBus::Block, 5000);
        answer = reply.value();
        error = reply.error().message();
    }
    QDBusConnection::disconnectFromBus(name);
    EXPECT_EQ(answer, QString::fromLatin1(row.answer)) << error.toStdString();
    EXPECT_EQ(logind.Calls(), QStringList{QString::fromLatin1(row.method) + QLatin1Char(' ') +
                                          QString::fromLatin1(row.answer)});
}

INSTANTIATE_TEST_SUITE_P(
    Abilities, AbilityTest,
    ::testing::Values(
        AbilityRow{"HibernateByDefault", {}, "CanHibernate", "yes"},
        AbilityRow{
            "HibernateChallenge", {"--can", "Hibernate=challenge"}, "CanHibernate", "challenge"},
        AbilityRow{"HibernateNo", {"--can", "Hibernate=no"}, "CanHibernate", "no"},
        AbilityRow{"HibernateNa", {"--can", "Hibernate=na"}, "CanHibernate", "na"},
        AbilityRow{"PowerOffUntouched", {"--can", "Hibernate=no"}, "CanPowerOff", "yes"},
        AbilityRow{
            "PowerOffNa", {"--can", "Suspend=no", "--can", "PowerOff=na"}, "CanPowerOff", "na"},
        AbilityRow{
            "SuspendNo", {"--can", "Suspend=no", "--can", "PowerOff=na"}, "CanSuspend", "no"},
        AbilityRow{"LastOneCounts",
                   {"--can", "Suspend=no", "--can", "Suspend=challenge"},
                   "CanSuspend",
                   "challenge"}),
    [](const ::testing::TestParamInfo<AbilityRow>& info) { return std::string(info.param.name); });

TEST_F(PowerRequestsTest, RefusalOfOneMethodLeavesTheOthersAlone) {
    LogindStandin logind(bus_, {QStringLiteral("--refuse"),
                                QStringLiteral("Suspend=org.freedesktop.DBus.Error.AccessDenied")});
    ASSERT_TRUE(logind.Started()) << logind.Error().toStdString();
    LogindPowerRequests power(bus_.Address());

    EXPECT_NE(power.Request(PowerAction::Suspend), std::nullopt);
    EXPECT_EQ(power.Request(PowerAction::Hibernate), std::nullopt);
}

TEST_F(PowerRequestsTest, BusWithoutLogindSaysTheServiceIsUnknown) {
    LogindPowerRequests power(bus_.Address());
    const auto reason = power.Request(PowerAction::PowerOff);
    ASSERT_TRUE(reason.has_value());
    EXPECT_EQ(reason->rfind("org.freedesktop.DBus.Error.ServiceUnknown: ", 0), 0u) << *reason;
    EXPECT_NE(reason->find("org.freedesktop.login1"), std::string::npos) << *reason;
}

TEST_F(PowerRequestsTest, NoBusAtAllSaysItCannotConnect) {
    const QString socket = bus_.Directory() + QStringLiteral("/no-such-bus");
    LogindPowerRequests power(QStringLiteral("unix:path=") + socket);
    const auto reason = power.Request(PowerAction::PowerOff);
    ASSERT_TRUE(reason.has_value());
    EXPECT_EQ(reason->rfind("org.freedesktop.DBus.Error.", 0), 0u) << *reason;
    EXPECT_NE(reason->find(socket.toStdString()), std::string::npos) << *reason;
}

TEST_F(PowerRequestsTest, HungLogindCostsOnlyTheTimeout) {
    LogindStandin logind(bus_, {QStringLiteral("--stall"), QStringLiteral("PowerOff")});
    ASSERT_TRUE(logind.Started()) << logind.Error().toStdString();
    LogindPowerRequests power(bus_.Address(), 300);

    QElapsedTimer clock;
    clock.start();
    const auto reason = power.Request(PowerAction::PowerOff);
    const qint64 elapsed = clock.elapsed();
    ASSERT_TRUE(reason.has_value());
    EXPECT_EQ(reason->rfind("org.freedesktop.DBus.Error.NoReply: ", 0), 0u) << *reason;
    EXPECT_GE(elapsed, 250);
    EXPECT_LT(elapsed, 3000);
    EXPECT_EQ(logind.Calls(), QStringList{"PowerOff false (left unanswered)"});
}

TEST_F(PowerRequestsTest, DefaultTimeoutIsBoundedButPatient) {
    EXPECT_GE(LogindPowerRequests::kDefaultTimeoutMs, 1000);
    EXPECT_LE(LogindPowerRequests::kDefaultTimeoutMs, 10000);
}

TEST(PowerRequestsReconnectTest, BusThatCameBackIsUsedAgain) {
    QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/zelto-bus-XXXXXX"));
    ASSERT_TRUE(folder.isValid());
    std::optional<LogindPowerRequests> power;
    {
        PrivateBus bus(folder.path());
        ASSERT_TRUE(bus.Started()) << bus.Error().toStdString();
        LogindStandin logind(bus);
        ASSERT_TRUE(logind.Started()) << logind.Error().toStdString();
        power.emplace(bus.Address());
        ASSERT_EQ(power->Request(PowerAction::Suspend), std::nullopt);
    }
    // The bus went away with its daemon: the request says so instead of hanging.
    EXPECT_NE(power->Request(PowerAction::Suspend), std::nullopt);

    PrivateBus bus(folder.path());
    ASSERT_TRUE(bus.Started()) << bus.Error().toStdString();
    LogindStandin logind(bus);
    ASSERT_TRUE(logind.Started()) << logind.Error().toStdString();
    EXPECT_EQ(power->Request(PowerAction::Hibernate), std::nullopt);
    EXPECT_EQ(logind.Calls(), QStringList{"Hibernate false"});
}

// The program itself uses the system bus, which DBUS_SYSTEM_BUS_ADDRESS redirects. libdbus
// reads that variable once per process, so this runs in a fresh copy of the test program.
int RequestOnRedirectedSystemBus() {
    PrivateBus bus;
    LogindStandin logind(bus);
    if (!logind.Started()) {
        std::fprintf(stderr, "%s\n", qPrintable(logind.Error()));
        return 3;
    }
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", bus.Address().toUtf8());
    test::RequirePrivateSystemBusEnvironment();
    LogindPowerRequests power;
    if (const auto reason = power.Request(PowerAction::Hibernate)) {
        std::fprintf(stderr, "%s\n", reason->c_str());
        return 1;
    }
    if (logind.Calls() != QStringList{"Hibernate false"}) {
        std::fprintf(stderr, "calls: %s\n", qPrintable(logind.Calls().join(QLatin1Char('|'))));
        return 2;
    }
    return 0;
}

TEST(PowerRequestsSystemBusTest, SystemBusFollowsDbusSystemBusAddress) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(_exit(RequestOnRedirectedSystemBus()), ::testing::ExitedWithCode(0), "");
}

struct AddressRow {
    const char* address;
    bool real;
};

void PrintTo(const AddressRow& row, std::ostream* out) {
    *out << '"' << row.address << '"';
}

class RealSystemBusTest : public ::testing::TestWithParam<AddressRow> {};

TEST_P(RealSystemBusTest, RecognisesTheRealSystemBus) {
    EXPECT_EQ(NamesRealSystemBus(QString::fromLatin1(GetParam().address)), GetParam().real)
        << GetParam().address;
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, RealSystemBusTest,
    ::testing::Values(AddressRow{"unix:path=/run/dbus/system_bus_socket", true},
                      AddressRow{"unix:path=/var/run/dbus/system_bus_socket", true},
                      AddressRow{"unix:path=/run/dbus/system_bus_socket,guid=0123", true},
                      AddressRow{"unix:path=/run/dbus/../dbus/system_bus_socket", true},
                      AddressRow{"unix:path=/run/dbus/system%5fbus_socket", true},
                      AddressRow{"unix:path=/tmp/zelto-bus-1/bus;"
                                 "unix:path=/run/dbus/system_bus_socket",
                                 true},
                      AddressRow{"", true}, AddressRow{"systemd:", true},
                      AddressRow{"autolaunch:", true}, AddressRow{"unix:runtime=yes", true},
                      AddressRow{"garbage", true},
                      AddressRow{"unix:path=/tmp/zelto-bus-1/bus", false},
                      AddressRow{"unix:path=/tmp/zelto-bus-1/bus,guid=0123", false},
                      AddressRow{"unix:abstract=/tmp/dbus-test", false},
                      AddressRow{"tcp:host=localhost,port=4711", false}));

TEST(RealSystemBusLinkTest, LinkToTheRealSocketIsTheRealBus) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString link = folder.filePath(QStringLiteral("bus"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/run/dbus/system_bus_socket"), link));
    EXPECT_TRUE(NamesRealSystemBus(QStringLiteral("unix:path=") + link));
    const QString folderLink = folder.filePath(QStringLiteral("dbus"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/run/dbus"), folderLink));
    EXPECT_TRUE(NamesRealSystemBus(QStringLiteral("unix:path=") + folderLink +
                                   QStringLiteral("/system_bus_socket")));
}

// The stand-in itself refuses to run anywhere near the real system bus.
struct StandinRefusalRow {
    const char* name;
    QStringList arguments;
    const char* systemBusAddress;  // nullptr: unset
    const char* says;              // part of its complaint
};

void PrintTo(const StandinRefusalRow& row, std::ostream* out) {
    *out << row.name;
}

class StandinRefusalTest : public ::testing::TestWithParam<StandinRefusalRow> {};

TEST_P(StandinRefusalTest, StandinRefusesToStart) {
    const StandinRefusalRow& row = GetParam();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"));
    if (row.systemBusAddress != nullptr) {
        environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"),
                           QString::fromLatin1(row.systemBusAddress));
    }
    QProcess standin;
    standin.setProcessEnvironment(environment);
    standin.start(test::LogindStandinProgram(), row.arguments);
    ASSERT_TRUE(standin.waitForFinished(10000)) << "the stand-in kept running";
    EXPECT_EQ(standin.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(standin.exitCode(), 2);
    EXPECT_TRUE(standin.readAllStandardOutput().isEmpty());
    const QString complaint = QString::fromUtf8(standin.readAllStandardError());
    EXPECT_TRUE(complaint.contains(QLatin1String(row.says))) << complaint.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Standin, StandinRefusalTest,
    ::testing::Values(
        StandinRefusalRow{"NoBusGiven", {}, nullptr, "no bus given"},
        StandinRefusalRow{"UnknownMethod",
                          {"--address", "unix:path=/tmp/zelto-no-bus", "--refuse", "Halt=x.y"},
                          nullptr,
                          "unknown method"},
        StandinRefusalRow{"CanAnswerUnknown",
                          {"--address", "unix:path=/tmp/zelto-no-bus", "--can", "Hibernate=maybe"},
                          nullptr,
                          "--can wants ACTION=ANSWER"},
        StandinRefusalRow{"CanWithoutAction",
                          {"--address", "unix:path=/tmp/zelto-no-bus", "--can", "=no"},
                          nullptr,
                          "--can wants ACTION=ANSWER"},
        StandinRefusalRow{"CanActionUnknown",
                          {"--address", "unix:path=/tmp/zelto-no-bus", "--can", "Reboot=no"},
                          nullptr,
                          "unknown action \"Reboot\""},
        StandinRefusalRow{"CanWithoutValue",
                          {"--address", "unix:path=/tmp/zelto-no-bus", "--can"},
                          nullptr,
                          "--can needs a value"},
        StandinRefusalRow{"UnknownOption",
                          {"--address", "unix:path=/tmp/zelto-no-bus", "--go"},
                          nullptr,
                          "unknown option"}),
    [](const ::testing::TestParamInfo<StandinRefusalRow>& info) {
        return std::string(info.param.name);
    });

}  // namespace
}  // namespace zelto
