// The Qt transport of the NUT server over loopback, clients and server in one event loop: the
// answers, the limits, the failed-login delay, idle and unread clients, logins ending with their
// connections, the wait for the secondaries, and start-up from the settings. Throughout, a timer
// standing in for the poll tick checks that nothing here blocks the loop.

#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "core/program/nut_startup.h"
#include "qt/nut_server.h"
#include "support/core_fakes.h"
#include "support/event_pump.h"
#include "support/status_records.h"

namespace zelto {
namespace {

using namespace std::chrono_literals;
using test::PumpUntil;
using test::RunEventLoop;

// A client in the test's own event loop: it never blocks, so the server keeps running.
class Client {
public:
    explicit Client(quint16 port, const QHostAddress& host = QHostAddress::LocalHost) {
        QObject::connect(&socket_, &QTcpSocket::readyRead,
                         [this] { received_ += socket_.readAll(); });
        socket_.connectToHost(host, port);
    }
    bool Connected() {
        return PumpUntil([this] { return socket_.state() == QAbstractSocket::ConnectedState; }, 3s);
    }
    void Send(const QByteArray& bytes) { socket_.write(bytes); }
    // The first `count` lines received, waiting up to `timeout` for them.
    QByteArray Lines(int count, std::chrono::milliseconds timeout = 3s) {
        PumpUntil([&] { return received_.count('\n') >= count; }, timeout);
        return received_;
    }
    bool ClosedWithin(std::chrono::milliseconds timeout) {
        return PumpUntil([this] { return socket_.state() == QAbstractSocket::UnconnectedState; },
                         timeout);
    }
    void Clear() { received_.clear(); }
    const QByteArray& Received() const { return received_; }
    QTcpSocket& Socket() { return socket_; }

private:
    QTcpSocket socket_;
    QByteArray received_;
};

// Counts the longest gap between the firings of a 20 ms timer: the poll tick's view of the loop.
class LoopWatch {
public:
    LoopWatch() {
        clock_.start();
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const qint64 now = clock_.elapsed();
            longest_ = std::max(longest_, now - last_);
            last_ = now;
        });
        timer_.start(20);
    }
    qint64 LongestGapMs() const { return longest_; }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    qint64 longest_ = 0;
};

NutSettings TestSettings() {
    NutSettings settings;
    settings.enabled = true;
    settings.listen = {"127.0.0.1"};
    settings.port = 0;  // the system picks a free one
    settings.users = {{"monuser", "s3cret"}};
    settings.limits.failedLoginDelayMs = 300;
    return settings;
}

// A feed with one fresh on-line record, as after the first answered tick.
class Served : public ::testing::Test {
protected:
    void SetUp() override {
        feed.TickStarted(true);
        const StatusRecord record(fakes::PowerRecord("13.0", false));
        feed.RecordHandled(record, record.BatteryTenths(), state);
    }
    std::unique_ptr<NutServer> Serve(const NutSettings& settings = TestSettings()) {
        auto server = std::make_unique<NutServer>(settings, feed);
        EXPECT_TRUE(ListenOnEach(*server, settings).empty());
        EXPECT_TRUE(server->Listening());
        return server;
    }

    ProgramState state;
    NutFeed feed;
    LoopWatch watch;
};

TEST_F(Served, AnswersPipelinedAndSplitRequests) {
    const auto server = Serve();
    Client client(server->Port());
    ASSERT_TRUE(client.Connected());
    client.Send("VER\nGET VAR zelto ups.status\r\n");
    EXPECT_EQ(client.Lines(2),
              "UPS Zelto NUT server 1.0.0 - built-in read-only NUT server\n"
              "VAR zelto ups.status \"OL\"\n");
    client.Clear();
    for (const char c : QByteArray("GET VAR zelto battery.charge\n")) {
        client.Send(QByteArray(1, c));
        RunEventLoop(2ms);
    }
    EXPECT_EQ(client.Lines(1), "VAR zelto battery.charge \"77\"\n");
    EXPECT_LT(watch.LongestGapMs(), 200);
}

TEST_F(Served, ConnectionsPastTheLimitAreClosedUnanswered) {
    NutSettings settings = TestSettings();
    settings.limits.maxClients = 3;
    settings.limits.maxClientsPerAddress = 2;
    const auto server = Serve(settings);
    Client first(server->Port());
    Client second(server->Port());
    ASSERT_TRUE(first.Connected());
    ASSERT_TRUE(second.Connected());
    ASSERT_TRUE(PumpUntil([&] { return server->OpenCount() == 2; }, 3s));
    Client third(server->Port());
    third.Send("VER\n");
    EXPECT_TRUE(third.ClosedWithin(3s));
    EXPECT_EQ(third.Lines(0, 0ms), "");
    EXPECT_EQ(server->OpenCount(), 2);
    // The ones let in are served as before.
    first.Send("NETVER\n");
    EXPECT_EQ(first.Lines(1), "1.3\n");
}

TEST_F(Served, AFailedLoginIsAnsweredLateWithoutHoldingAnythingElseUp) {
    const auto server = Serve();
    Client failing(server->Port());
    Client other(server->Port());
    ASSERT_TRUE(failing.Connected());
    ASSERT_TRUE(other.Connected());
    failing.Send("USERNAME monuser\nPASSWORD wrong\nLOGIN zelto\nNETVER\n");
    ASSERT_EQ(failing.Lines(2), "OK\nOK\n");
    QElapsedTimer clock;
    clock.start();
    // Others are answered at once meanwhile.
    other.Send("NETVER\n");
    EXPECT_EQ(other.Lines(1), "1.3\n");
    EXPECT_LT(clock.elapsed(), 200);
    EXPECT_EQ(failing.Lines(4), "OK\nOK\nERR ACCESS-DENIED\n1.3\n");
    EXPECT_GE(clock.elapsed(), 250);
    EXPECT_EQ(server->LoginCount(), 0);
    EXPECT_LT(watch.LongestGapMs(), 200);
}

TEST_F(Served, LoginsEndWithTheirConnectionHoweverItEnds) {
    const auto server = Serve();
    Client aborted(server->Port());
    Client loggedOut(server->Port());
    for (Client* client : {&aborted, &loggedOut}) {
        ASSERT_TRUE(client->Connected());
        client->Send("USERNAME monuser\nPASSWORD s3cret\nLOGIN zelto\n");
        ASSERT_EQ(client->Lines(3), "OK\nOK\nOK\n");
    }
    EXPECT_EQ(server->LoginCount(), 2);
    aborted.Socket().abort();
    EXPECT_TRUE(PumpUntil([&] { return server->LoginCount() == 1; }, 3s));
    loggedOut.Send("LOGOUT\n");
    EXPECT_TRUE(loggedOut.ClosedWithin(3s));
    EXPECT_EQ(loggedOut.Lines(4), "OK\nOK\nOK\nOK Goodbye\n");
    EXPECT_TRUE(PumpUntil([&] { return server->LoginCount() == 0; }, 3s));
    EXPECT_TRUE(PumpUntil([&] { return server->OpenCount() == 0; }, 3s));
}

TEST_F(Served, IdleConnectionsAreClosed) {
    NutSettings settings = TestSettings();
    settings.limits.idleTimeoutSeconds = 1;
    const auto server = Serve(settings);
    Client silent(server->Port());
    Client trickling(server->Port());
    ASSERT_TRUE(silent.Connected());
    ASSERT_TRUE(trickling.Connected());
    // Bytes without ever a whole line keep nothing alive.
    QTimer drip;
    QObject::connect(&drip, &QTimer::timeout, [&] { trickling.Send("V"); });
    drip.start(100);
    EXPECT_TRUE(silent.ClosedWithin(3s));
    EXPECT_TRUE(trickling.ClosedWithin(1s));
    EXPECT_EQ(server->OpenCount(), 0);
}

TEST_F(Served, AClientThatDoesNotReadItsAnswersIsDropped) {
    const auto server = Serve();
    Client hog(server->Port());
    ASSERT_TRUE(hog.Connected());
    // Reads nothing: what the server sends piles up in the kernel and then in the server.
    hog.Socket().setReadBufferSize(1);
    QObject::disconnect(&hog.Socket(), &QTcpSocket::readyRead, nullptr, nullptr);
    QByteArray batch;
    for (int i = 0; i < 40; ++i) {
        batch += "LIST VAR zelto\n";
    }
    // Batches small and far enough apart that each read's answers stay under the cap: what
    // drops the client is its unsent output growing, not one large request.
    QTimer flood;
    QObject::connect(&flood, &QTimer::timeout, [&] { hog.Send(batch); });
    flood.start(20);
    EXPECT_TRUE(PumpUntil([&] { return server->OpenCount() == 0; }, 30s));
    flood.stop();
    EXPECT_LT(watch.LongestGapMs(), 300);
}

// Sends `request` to the server on 127.0.0.1:`port`, ends its own sending at once, and returns
// everything the server sent until it closed; "<open>" when it did not close within 3 s.
std::string SendAndHalfClose(quint16 port, const std::string& request) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    std::string received;
    bool sent = false;
    bool closed = false;
    PumpUntil(
        [&] {
            if (!sent && ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) ==
                             static_cast<ssize_t>(request.size())) {
                ::shutdown(fd, SHUT_WR);
                sent = true;
            }
            char bytes[256];
            ssize_t got = 0;
            while ((got = ::recv(fd, bytes, sizeof bytes, 0)) > 0) {
                received.append(bytes, static_cast<std::size_t>(got));
            }
            closed = sent && got == 0;
            return closed;
        },
        3s);
    ::close(fd);
    return closed ? received : "<open>";
}

TEST_F(Served, WhatAClientSentBeforeItStoppedSendingIsAnsweredThenClosed) {
    const auto server = Serve();
    EXPECT_EQ(SendAndHalfClose(server->Port(), "NETVER\nGET VAR zelto ups.status\n"),
              "1.3\nVAR zelto ups.status \"OL\"\n");
    EXPECT_TRUE(PumpUntil([&] { return server->OpenCount() == 0; }, 3s));
    // A failed login's delay, then the answers, then the close.
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(SendAndHalfClose(server->Port(),
                               "USERNAME monuser\nPASSWORD wrong\nLOGIN zelto\n"
                               "NETVER\n"),
              "OK\nOK\nERR ACCESS-DENIED\n1.3\n");
    EXPECT_GE(clock.elapsed(), 250);
    EXPECT_TRUE(PumpUntil([&] { return server->OpenCount() == 0; }, 3s));
    EXPECT_LT(watch.LongestGapMs(), 200);
}

// Commits the shutdown and serves the loop until the feed's wait for the secondaries is over;
// the milliseconds that took.
qint64 MsOfTheWait(NutFeed& feed) {
    QElapsedTimer clock;
    clock.start();
    feed.ShutdownCommitted();
    EXPECT_TRUE(feed.StillShuttingDown()) << "no wait with a secondary logged in";
    EXPECT_TRUE(PumpUntil([&] { return !feed.StillShuttingDown(); }, 3s));
    return clock.elapsed();
}

TEST_F(Served, TheWaitEndsWhenTheLastSecondaryHasGone) {
    NutSettings settings = TestSettings();
    settings.fsdWaitSeconds = 10;
    const auto server = Serve(settings);
    Client secondary(server->Port());
    ASSERT_TRUE(secondary.Connected());
    secondary.Send("USERNAME monuser\nPASSWORD s3cret\nLOGIN zelto\n");
    ASSERT_EQ(secondary.Lines(3), "OK\nOK\nOK\n");
    secondary.Clear();

    // The secondary sees FSD on its next poll and goes, as upsmon does.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout,
                     [&] { secondary.Send("GET VAR zelto ups.status\n"); });
    QObject::connect(&secondary.Socket(), &QTcpSocket::readyRead, [&] {
        if (secondary.Received().contains("FSD")) {
            secondary.Socket().abort();
        }
    });
    poll.start(200);
    EXPECT_LT(MsOfTheWait(feed), 2000);
    EXPECT_EQ(server->LoginCount(), 0);
    EXPECT_TRUE(feed.Snapshot().forcedShutdown);
}

TEST_F(Served, TheWaitIsBoundedAndNoWaitWithoutLogins) {
    NutSettings settings = TestSettings();
    settings.fsdWaitSeconds = 1;
    const auto server = Serve(settings);
    feed.ShutdownCommitted();
    EXPECT_FALSE(feed.StillShuttingDown()) << "nobody logged in";

    Client stubborn(server->Port());
    ASSERT_TRUE(stubborn.Connected());
    stubborn.Send("USERNAME monuser\nPASSWORD s3cret\nLOGIN zelto\n");
    ASSERT_EQ(stubborn.Lines(3), "OK\nOK\nOK\n");
    const qint64 waited = MsOfTheWait(feed);
    EXPECT_GE(waited, 900);
    EXPECT_LT(waited, 1500);
    EXPECT_EQ(server->LoginCount(), 1);
}

class NutServerStartUp : public ::testing::Test {
protected:
    std::unique_ptr<NutServer> Start(const std::string& nutSection) {
        store.files["/fake/work/UPSZelto.ini"] = "[UPS]\r\nCompOff=2\r\n[NUT]\r\n" + nutSection;
        Settings settings(store);
        return NutServer::Start(settings, errors, feed);
    }
    fakes::FakeSettingsStore store;
    fakes::FakeErrorReporter errors;
    NutFeed feed;
};

TEST_F(NutServerStartUp, OffByDefault) {
    EXPECT_EQ(Start(""), nullptr);
    EXPECT_EQ(Start("NutServer=0\r\nNutPort=13493\r\n"), nullptr);
    EXPECT_TRUE(errors.texts.empty());
}

TEST_F(NutServerStartUp, OnWithLoopbackAndTheSettingsProblemsReportedOnce) {
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 port = probe.serverPort();
    probe.close();

    const auto server =
        Start("NutServer=1\r\nNutPort=" + std::to_string(port) + "\r\nNutMaxClients=0\r\n");
    ASSERT_NE(server, nullptr);
    EXPECT_EQ(server->Port(), port);
    EXPECT_EQ(errors.texts,
              std::vector<std::string>{"Сервер NUT: неверные значения в разделе [NUT] файла "
                                       "UPSZelto.ini, вместо них действуют значения по "
                                       "умолчанию: NutMaxClients=0"});
    for (const auto& host :
         {QHostAddress(QHostAddress::LocalHost), QHostAddress(QHostAddress::LocalHostIPv6)}) {
        Client client(port, host);
        ASSERT_TRUE(client.Connected()) << host.toString().toStdString();
        client.Send("NETVER\n");
        EXPECT_EQ(client.Lines(1), "1.3\n");
    }
}

TEST_F(NutServerStartUp, APortInUseIsReportedAndNoServerRuns) {
    QTcpServer taken;
    ASSERT_TRUE(taken.listen(QHostAddress::LocalHost, 0));
    const auto server = Start("NutServer=1\r\nNutListen=127.0.0.1\r\nNutPort=" +
                              std::to_string(taken.serverPort()) + "\r\n");
    EXPECT_EQ(server, nullptr);
    ASSERT_EQ(errors.texts.size(), 1u);
    EXPECT_EQ(
        errors.texts[0].rfind(
            "Сервер NUT не смог открыть 127.0.0.1:" + std::to_string(taken.serverPort()) + " (", 0),
        0u)
        << errors.texts[0];
}

}  // namespace
}  // namespace zelto
