// The NUT server's connections without sockets: admission, pipelined and split requests, logins
// and their count, the failed-login hold, the output cap and the idle timeout; then the same over
// scripted sockets: when each is read, written, held and closed.

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "core/base/product.h"
#include "core/nut/nut_clients.h"
#include "core/nut/nut_connections.h"
#include "core/nut/nut_follower.h"
#include "tests/support/program_rig.h"

namespace zelto {
namespace {

using namespace std::chrono_literals;
using Clock = NutClients::Clock;
using fakes::NetworkProgramRig;
using fakes::ScriptedClientSocket;

NutSnapshot OnLine() {
    NutSnapshot snapshot;
    snapshot.link = NutLink::Fresh;
    snapshot.record =
        NutRecordFields{"230.0", "230.0", "230.0", "020", "50.0", "27.2", "25.0", "00001001"};
    snapshot.batteryCharge = 87;
    return snapshot;
}

NutSettings Settings() {
    NutSettings settings;
    settings.enabled = true;
    settings.users = {{"monuser", "s3cret"}};
    settings.limits.maxClients = 3;
    settings.limits.maxClientsPerAddress = 2;
    settings.limits.idleTimeoutSeconds = 5;
    return settings;
}

class Clients : public ::testing::Test {
protected:
    NutClients::Id Open(const std::string& address = "127.0.0.1") {
        const auto id = clients.Open(address, start);
        EXPECT_TRUE(id) << address;
        return id.value_or(0);
    }
    NutOutput Say(NutClients::Id id, const std::string& bytes, Clock::duration at = 0s) {
        return clients.Receive(id, bytes, start + at);
    }

    NutSnapshot snapshot = OnLine();
    NutClients clients{Settings(), "1.0.0", snapshot};
    Clock::time_point start = Clock::now();
};

TEST_F(Clients, LimitsInTotalAndPerAddress) {
    const auto a1 = Open("10.0.0.1");
    Open("10.0.0.1");
    EXPECT_FALSE(clients.Open("10.0.0.1", start)) << "a third from one address";
    Open("10.0.0.2");
    EXPECT_FALSE(clients.Open("10.0.0.3", start)) << "a fourth in all";
    EXPECT_EQ(clients.OpenCount(), 3);
    clients.Close(a1);
    EXPECT_TRUE(clients.Open("10.0.0.1", start));
}

TEST_F(Clients, PipelinedRequestsAnsweredInOrderAndSplitOnesOnce) {
    const auto id = Open();
    EXPECT_EQ(Say(id, "VER\nNETVER\r\n").text,
              "UPS Zelto NUT server 1.0.0 - built-in read-only NUT server\n1.3\n");
    std::string replies;
    for (const char c : std::string("GET VAR zelto ups.status\n")) {
        replies += Say(id, std::string(1, c)).text;
    }
    EXPECT_EQ(replies, "VAR zelto ups.status \"OL\"\n");
}

TEST_F(Clients, LoginsCountUntilTheConnectionCloses) {
    const auto secondary = Open("127.0.0.1");
    const auto reader = Open("::1");
    const NutOutput login = Say(secondary, "USERNAME monuser\nPASSWORD s3cret\nLOGIN zelto\n");
    EXPECT_EQ(login.text, "OK\nOK\nOK\n");
    EXPECT_FALSE(login.hold);
    EXPECT_EQ(login.notices, std::vector<std::string>{"NUT: monuser logged in from 127.0.0.1"});
    EXPECT_EQ(clients.LoginCount(), 1);
    EXPECT_EQ(Say(reader, "GET NUMLOGINS zelto\n").text, "NUMLOGINS zelto 1\n");
    EXPECT_EQ(Say(reader, "LIST CLIENT zelto\n").text,
              "BEGIN LIST CLIENT zelto\nCLIENT zelto 127.0.0.1\nEND LIST CLIENT zelto\n");
    // One LOGIN per connection.
    EXPECT_EQ(Say(secondary, "LOGIN zelto\n").text, "ERR ALREADY-LOGGED-IN\n");
    EXPECT_EQ(clients.LoginCount(), 1);

    // However it ended: LOGOUT, a dropped line or a kill all come here.
    clients.Close(secondary);
    EXPECT_EQ(clients.LoginCount(), 0);
    EXPECT_EQ(Say(reader, "GET NUMLOGINS zelto\n").text, "NUMLOGINS zelto 0\n");
    EXPECT_EQ(Say(secondary, "VER\n").text, "") << "a closed connection is answered";
}

TEST_F(Clients, FailedLoginHoldsItsReplyAndWhatFollows) {
    const auto id = Open("192.168.1.9");
    const NutOutput first = Say(id, "USERNAME monuser\nPASSWORD wrong\nLOGIN zelto\nVER\n");
    EXPECT_EQ(first.text, "OK\nOK\n");
    EXPECT_TRUE(first.hold);
    EXPECT_EQ(first.notices,
              std::vector<std::string>{"NUT: login as monuser from 192.168.1.9 refused"});
    EXPECT_TRUE(clients.Held(id));
    // Lines arriving while held wait their turn.
    EXPECT_EQ(Say(id, "NETVER\n").text, "");

    const NutOutput resumed = clients.Resume(id, start);
    EXPECT_FALSE(clients.Held(id));
    EXPECT_EQ(resumed.text,
              "ERR ACCESS-DENIED\nUPS Zelto NUT server 1.0.0 - built-in read-only NUT server\n"
              "1.3\n");
    EXPECT_FALSE(resumed.close);
    EXPECT_EQ(clients.LoginCount(), 0);
}

TEST_F(Clients, TheThirdFailedLoginClosesTheConnection) {
    const auto id = Open();
    EXPECT_EQ(Say(id, "USERNAME monuser\nPASSWORD wrong\n").text, "OK\nOK\n");
    for (int attempt = 1; attempt <= 3; ++attempt) {
        EXPECT_TRUE(Say(id, "LOGIN zelto\n").hold) << attempt;
        const NutOutput reply = clients.Resume(id, start);
        EXPECT_EQ(reply.text, "ERR ACCESS-DENIED\n") << attempt;
        EXPECT_EQ(reply.close, attempt == 3) << attempt;
    }
    EXPECT_EQ(Say(id, "VER\n").text, "");
}

TEST_F(Clients, AClientSendingOnWhileHeldIsDropped) {
    const auto id = Open();
    EXPECT_TRUE(Say(id, "USERNAME a\nPASSWORD b\nLOGIN zelto\n").hold);
    std::string flood;
    for (int i = 0; i < 64; ++i) {
        flood += "VER\n";
    }
    EXPECT_FALSE(Say(id, flood).drop) << "64 lines may wait";
    EXPECT_TRUE(Say(id, "VER\n").drop);
    EXPECT_EQ(clients.Resume(id, start).text, "");
}

TEST(ClientsOutputCap, ARequestWhoseAnswersPassTheCapDropsTheClient) {
    NutSnapshot snapshot = OnLine();
    NutSettings settings = Settings();
    settings.limits.outputCapBytes = 200;
    NutClients clients(settings, "1.0.0", snapshot);
    const auto id = clients.Open("127.0.0.1", Clock::now());
    ASSERT_TRUE(id);
    EXPECT_FALSE(clients.Receive(*id, "GET VAR zelto ups.load\n", Clock::now()).drop);
    // The variable list is longer than 200 bytes.
    const NutOutput list = clients.Receive(*id, "LIST VAR zelto\nVER\n", Clock::now());
    EXPECT_TRUE(list.drop);
    EXPECT_EQ(clients.Receive(*id, "VER\n", Clock::now()).text, "");
}

TEST_F(Clients, OnlyWholeLinesKeepAConnectionFromIdling) {
    const auto quiet = Open();
    const auto trickling = Open("::1");
    EXPECT_TRUE(clients.Idle(start + 4s).empty());
    Say(trickling, "VE", 4s);
    Say(quiet, "VER\n", 4s);
    EXPECT_EQ(clients.Idle(start + 5s), std::vector<NutClients::Id>{trickling});
    EXPECT_EQ(clients.Idle(start + 8s), std::vector<NutClients::Id>{trickling});
    EXPECT_EQ(clients.Idle(start + 9s), (std::vector<NutClients::Id>{quiet, trickling}));
}

TEST_F(Clients, LogoutAnswersThenClosesAndIgnoresTheRest) {
    const auto id = Open();
    const NutOutput bye = Say(id, "LOGOUT\nVER\n");
    EXPECT_EQ(bye.text, "OK Goodbye\n");
    EXPECT_TRUE(bye.close);
    EXPECT_EQ(Say(id, "VER\n").text, "");
}

// A socket that hands over scripted chunks, takes `takes` bytes before its buffer is full, and
// keeps what the connection machine did to it.
struct ScriptedSocket final : NutSocket {
    struct Seen {
        std::deque<std::string> incoming;  // one chunk a receive; "" marks the peer's end
        std::string sent;
        std::size_t takes = 1 << 20;
        bool peerClosed = false;
        int receives = 0;
        bool readable = true;
        bool writable = false;
        std::optional<bool> closedOrderly;
    };
    explicit ScriptedSocket(Seen& seen) : seen(seen) {}
    NutReceive Receive(std::string& into, std::size_t max) override {
        ++seen.receives;
        if (seen.incoming.empty()) {
            return NutReceive::Nothing;
        }
        std::string chunk = std::move(seen.incoming.front());
        seen.incoming.pop_front();
        if (chunk.empty()) {
            return NutReceive::Ended;
        }
        EXPECT_LE(chunk.size(), max);
        into += chunk;
        return NutReceive::Data;
    }
    std::optional<std::size_t> Send(std::string_view bytes) override {
        const std::size_t taken = std::min(bytes.size(), seen.takes);
        seen.takes -= taken;
        seen.sent += bytes.substr(0, taken);
        return taken;
    }
    bool PeerClosed() override { return seen.peerClosed; }
    void Watch(bool readable, bool writable) override {
        seen.readable = readable;
        seen.writable = writable;
    }
    void Close(bool orderly) override { seen.closedOrderly = orderly; }
    Seen& seen;
};

class Connections : public ::testing::Test {
protected:
    // A socket's record, kept by the fixture: the connections close what is left open when they
    // go, after the test's own variables.
    ScriptedSocket::Seen& Socket() { return sockets.emplace_back(); }
    std::optional<NutConnections::Id> Accept(ScriptedSocket::Seen& seen,
                                             const std::string& address = "127.0.0.1") {
        return connections.Accept(std::make_unique<ScriptedSocket>(seen), address, start);
    }
    std::deque<ScriptedSocket::Seen> sockets;
    NutSnapshot snapshot = OnLine();
    std::vector<std::string> notices;
    NutConnections connections{Settings(), "1.0.0", snapshot,
                               [this](const std::string& line) { notices.push_back(line); }};
    Clock::time_point start = Clock::now();
};

TEST_F(Connections, AFailedLoginStopsReadingUntilItsDelayThenAnswersWhatWaited) {
    ScriptedSocket::Seen& seen = Socket();
    const auto id = Accept(seen);
    ASSERT_TRUE(id);
    seen.incoming = {"USERNAME monuser\nPASSWORD wrong\nLOGIN zelto\n", "VER\n", "NETVER\n"};
    connections.Readable(*id, start);
    EXPECT_EQ(seen.sent, "OK\nOK\n");
    EXPECT_FALSE(seen.readable);
    EXPECT_EQ(notices.size(), 1u);
    // Readable again while held: nothing is taken from the socket.
    connections.Readable(*id, start);
    EXPECT_EQ(seen.receives, 1);
    connections.Timeout(start);
    EXPECT_EQ(connections.NextTimeout(), start + 1s);
    connections.Timeout(start + 999ms);
    EXPECT_EQ(seen.sent, "OK\nOK\n");
    // The delay is over: the reply, then everything that waited in the socket, read at once since
    // an edge-triggered transport would not report it again.
    connections.Timeout(start + 1s);
    EXPECT_EQ(seen.sent,
              "OK\nOK\nERR ACCESS-DENIED\nUPS Zelto NUT server 1.0.0 - built-in read-only NUT "
              "server\n1.3\n");
    EXPECT_TRUE(seen.readable);
}

TEST_F(Connections, APeerThatEndsDuringTheDelayIsAnsweredThenClosedInOrder) {
    ScriptedSocket::Seen& seen = Socket();
    const auto id = Accept(seen);
    seen.incoming = {"USERNAME monuser\nPASSWORD wrong\nLOGIN zelto\n", "VER\n", ""};
    connections.Readable(*id, start);
    connections.PeerClosed(*id, start);
    EXPECT_FALSE(seen.closedOrderly);
    connections.Timeout(start + 1s);
    EXPECT_EQ(seen.sent,
              "OK\nOK\nERR ACCESS-DENIED\nUPS Zelto NUT server 1.0.0 - built-in read-only NUT "
              "server\n");
    EXPECT_EQ(seen.closedOrderly, std::optional<bool>(true));
    EXPECT_EQ(connections.Clients().OpenCount(), 0);
}

TEST_F(Connections, AnswersTheSystemDoesNotTakeWaitForWritable) {
    ScriptedSocket::Seen& seen = Socket();
    seen.takes = 4;
    const auto id = Accept(seen);
    seen.incoming = {"VER\n", ""};
    connections.Readable(*id, start);
    EXPECT_TRUE(seen.writable);
    // The peer's end closes only once everything is out.
    connections.Readable(*id, start);
    EXPECT_FALSE(seen.closedOrderly);
    seen.takes = 1 << 20;
    connections.Writable(*id);
    EXPECT_EQ(seen.sent, "UPS Zelto NUT server 1.0.0 - built-in read-only NUT server\n");
    EXPECT_EQ(seen.closedOrderly, std::optional<bool>(true));
}

TEST_F(Connections, APeerGoneUnreportedMakesRoomAndIdleOnesAreDropped) {
    ScriptedSocket::Seen& a = Socket();
    ScriptedSocket::Seen& b = Socket();
    ScriptedSocket::Seen& c = Socket();
    ScriptedSocket::Seen& d = Socket();
    ASSERT_TRUE(Accept(a, "10.0.0.1"));
    ASSERT_TRUE(Accept(b, "10.0.0.2"));
    ASSERT_TRUE(Accept(c, "10.0.0.3"));
    // Full (three at most): refused and closed at once, unless one of them has ended unseen.
    ScriptedSocket::Seen& refused = Socket();
    EXPECT_FALSE(Accept(refused, "10.0.0.4"));
    EXPECT_EQ(refused.closedOrderly, std::optional<bool>(false));
    b.peerClosed = true;
    EXPECT_TRUE(Accept(d, "10.0.0.4"));
    EXPECT_EQ(b.closedOrderly, std::optional<bool>(true));
    // Five idle seconds drop the rest, at once.
    connections.Timeout(start + 6s);
    for (const auto* seen : {&a, &c, &d}) {
        EXPECT_EQ(seen->closedOrderly, std::optional<bool>(false));
    }
    EXPECT_EQ(connections.Clients().OpenCount(), 0);
}

// The client side: a server this program follows, played by the test.

class Following : public ::testing::Test {
protected:
    Following() { socket.clock = &now; }
    void TickTo(std::int64_t until) {
        for (; now <= until; ++now) {
            follower.Tick(now);
        }
        now = until;
    }
    // The server's answers to a login and a list holding the status and the charge.
    void AnswerLoginAndList(const char* status) {
        socket.incoming += std::string("OK\nOK\nOK\nBEGIN LIST VAR ups\nVAR ups ups.status \"") +
                           status + "\"\nVAR ups battery.charge \"90\"\nEND LIST VAR ups\n";
    }

    std::int64_t now = 0;
    ScriptedClientSocket socket;
    NutFollower follower{socket, NutUpsAddress{"ups", "nas", 3493}, "mon", "secret"};
};

TEST_F(Following, PollsOnceATickAndShutsDownWhenOnBatteryAndLowStays) {
    follower.Tick(now);
    ASSERT_TRUE(follower.Connected());
    EXPECT_EQ(socket.sent, "USERNAME \"mon\"\nPASSWORD \"secret\"\nLOGIN ups\nLIST VAR ups\n");
    socket.sent.clear();
    AnswerLoginAndList("OB LB");
    follower.Tick(++now);
    EXPECT_EQ(socket.sent, "GET VAR ups ups.status\nGET VAR ups battery.charge\n");
    for (int tick = 0; tick < 16; ++tick) {
        socket.incoming += "VAR ups ups.status \"OB LB\"\nVAR ups battery.charge \"9\"\n";
        follower.Tick(++now);
    }
    EXPECT_EQ(socket.addresses, std::vector<std::string>{"nas:3493"});
    EXPECT_EQ(follower.Session().Values().at("battery.charge"), "9");
    EXPECT_TRUE(follower.Status().Critical(now));  // FSD never came
    EXPECT_TRUE(follower.Answering(now));

    // Between ticks an answer is read as it comes, but a server that sends unasked, or floods,
    // only a tick at a time.
    socket.incoming += "VAR ups ups.status \"OB\"\n";
    follower.ReadAnswers(now);
    EXPECT_EQ(follower.Session().Values().at("ups.status"), "OB");
    socket.incoming += "VAR ups battery.charge \"8\"\n" + std::string(200'000, 'x');
    for (int look = 0; look < 10; ++look) {
        follower.ReadAnswers(now);
    }
    EXPECT_EQ(follower.Session().Values().at("battery.charge"), "8");
    EXPECT_GE(socket.incoming.size(), 200'000u - kNutReadPerTick);
    // A status the server no longer has: not answering, whatever came a second ago.
    socket.incoming = "\n";
    follower.Tick(++now);
    socket.incoming += "ERR DATA-STALE\nERR DATA-STALE\n";
    follower.Tick(++now);
    EXPECT_FALSE(follower.Answering(now));
    EXPECT_TRUE(follower.Connected());
    EXPECT_EQ(socket.connects, std::vector<std::int64_t>{0});
    follower.Logout();
    EXPECT_EQ(socket.sent.substr(socket.sent.size() - 7), "LOGOUT\n");
    EXPECT_EQ(socket.state, NutClientSocket::State::Closed);

    // A line nobody asked for: the server is not followed on that connection.
    TickTo(now + 1);
    ASSERT_TRUE(follower.Connected());
    AnswerLoginAndList("OL");
    socket.incoming += "OK\n";
    follower.Tick(++now);
    EXPECT_FALSE(follower.Connected());
}

TEST_F(Following, NeverGivesUpAndDropsAServerThatStopsAnswering) {
    socket.refuse = true;
    TickTo(70);
    // 1, 2, 4, 8, 16, then every 30 s.
    EXPECT_EQ(socket.connects, (std::vector<std::int64_t>{0, 1, 3, 7, 15, 31, 61}));

    // A server that takes the connection but stops answering is dropped after the time-out.
    socket.refuse = false;
    socket.connects.clear();
    TickTo(91);
    ASSERT_EQ(socket.connects, std::vector<std::int64_t>{91});
    TickTo(95);
    EXPECT_TRUE(follower.Connected());
    TickTo(96);
    EXPECT_FALSE(follower.Connected());

    // An address that never answers a connection is given up after the same time, and the
    // delays go on growing: 30 s after each give-up.
    socket.unanswered = true;
    socket.connects.clear();
    TickTo(165);
    EXPECT_EQ(socket.connects, (std::vector<std::int64_t>{126, 161}));

    // A logout and a stay-away while an attempt is under way: the attempt goes, and neither its
    // time-out nor the delays bring the follower back before the stay-away ends.
    follower.Logout();
    EXPECT_EQ(socket.state, NutClientSocket::State::Closed);
    follower.StayAwayUntil(now + 200);
    socket.connects.clear();
    TickTo(now + 199);
    EXPECT_TRUE(socket.connects.empty());
    TickTo(now + 2);
    EXPECT_EQ(socket.connects.size(), 1u);

    // A distant host's refusal comes a while after the attempt began: the same delays, counted
    // from when it came.
    ScriptedClientSocket distant;
    distant.clock = &now;
    distant.refuseLater = true;
    NutFollower late{distant, NutUpsAddress{"ups", "far", 3493}, "", ""};
    const std::int64_t first = now;
    for (; now <= first + 67; ++now) {
        late.Tick(now);
    }
    EXPECT_EQ(distant.connects, (std::vector<std::int64_t>{first, first + 2, first + 5, first + 10,
                                                           first + 19, first + 36, first + 67}));
}

TEST_F(Following, ASilentServerLastSeenOnBatteryIsCriticalUntilASleepDropsIt) {
    follower.Tick(now);
    AnswerLoginAndList("OB");
    follower.Tick(++now);
    socket.incoming += "VAR ups ups.status \"OB\"\nVAR ups battery.charge \"50\"\n";
    follower.Tick(++now);
    // Silent from here on: the connection times out and is made again, and still nothing.
    TickTo(16);
    EXPECT_FALSE(follower.Status().Critical(now));
    EXPECT_GT(socket.connects.size(), 1u);
    TickTo(17);
    EXPECT_TRUE(follower.Status().Critical(now));
    // Readings from before a sleep say nothing of now; the connection is made again at once.
    now += 3600;
    follower.Tick(now);
    EXPECT_FALSE(follower.Status().Critical(now));
    EXPECT_EQ(socket.connects.back(), now);
}

TEST_F(Following, ARefusedLoginIsToldOnceAndTheReadingsGoOn) {
    follower.Tick(now);
    socket.incoming +=
        "OK\nOK\nERR ACCESS-DENIED\nBEGIN LIST VAR ups\nVAR ups ups.status "
        "\"OL\"\nEND LIST VAR ups\n";
    follower.Tick(++now);
    EXPECT_EQ(follower.TakeNewRefusal(), std::optional<std::string>("ERR ACCESS-DENIED"));
    EXPECT_EQ(follower.TakeNewRefusal(), std::nullopt);
    socket.incoming += "VAR ups ups.status \"FSD OL\"\n";
    follower.Tick(++now);
    EXPECT_TRUE(follower.Status().Critical(now));  // FSD counts, logged in or not
}

// The program following a UPS another machine serves, as the port list's choice.
class FollowingProgram : public ::testing::Test {
protected:
    static std::string Settings(const std::string& lines) {
        return "[UPS]\nPorts=ttyS9;ups@nas:3493\nCOMPortPath=ups@nas:3493\nNUTUser=mon\n"
               "NUTPassword=pw-123\nOFFAfter=2\nOffUPS=3\nOffMethod=0\n" +
               lines;
    }
    // The server takes the login and lists what it has; the UPS's variables as given.
    static std::string Listed(const std::map<std::string, std::string>& values) {
        std::string text = "OK\nOK\nOK\nBEGIN LIST VAR ups\n";
        for (const auto& [name, value] : values) {
            text += "VAR ups " + name + " \"" + value + "\"\n";
        }
        return text + "END LIST VAR ups\n";
    }
    // The server answers each GET VAR the program sent since the last call with `values`.
    static void Answer(NetworkProgramRig& rig, const std::map<std::string, std::string>& values) {
        std::string::size_type at = 0;
        const std::string& sent = rig.server.sent;
        while ((at = sent.find("GET VAR ups ", at)) != std::string::npos) {
            at += 12;
            const std::string name = sent.substr(at, sent.find('\n', at) - at);
            const auto found = values.find(name);
            rig.server.incoming += found == values.end()
                                       ? "ERR VAR-NOT-SUPPORTED\n"
                                       : "VAR ups " + name + " \"" + found->second + "\"\n";
        }
        rig.server.sent.clear();
    }
    static void Ticks(NetworkProgramRig& rig, const std::map<std::string, std::string>& values,
                      int count) {
        for (int i = 0; i < count; ++i) {
            Answer(rig, values);
            rig.Tick();
        }
    }
};

TEST_F(FollowingProgram, ShowsTheServersReadingsAndActsOnItsStatusWithoutCommandingTheUps) {
    const std::map<std::string, std::string> online{{"ups.status", "OL"},
                                                    {"input.voltage", "229.8"},
                                                    {"battery.charge", "96"},
                                                    {"battery.voltage", "27.30"},
                                                    {"ups.load", "23"}};
    NetworkProgramRig rig(Settings("CompOff=0\n"));
    rig.program->FormCreate();
    EXPECT_EQ(rig.server.addresses, std::vector<std::string>{"nas:3493"});
    EXPECT_EQ(rig.port.opens, 0) << "the serial port is not the UPS now";
    EXPECT_FALSE(rig.view.upsOffEnabled);
    EXPECT_EQ(rig.view.portNames.back(), "Сетевой UPS…");
    EXPECT_EQ(rig.server.sent.substr(0, 40), "USERNAME \"mon\"\nPASSWORD \"pw-123\"\nLOGIN u");
    rig.server.incoming += Listed(online);
    rig.server.sent.clear();
    rig.Tick();
    Ticks(rig, online, 2);
    EXPECT_EQ(rig.display.linkState, std::optional<bool>(true));
    EXPECT_EQ(rig.display.readings[Reading::MainsVoltage], "229.8 V");
    EXPECT_EQ(rig.display.readings[Reading::Temperature], kMissingReading);
    EXPECT_EQ(rig.display.readings[Reading::BatteryVoltage], "27.30 V");
    EXPECT_EQ(rig.display.charge, std::optional<std::string>("96 %"));
    EXPECT_EQ(rig.display.loadBar, std::optional<int>(23));

    // Mains fail at the server: the countdown, then LOGOUT before the power request, and never a
    // command to the UPS (OffUPS is set but not this program's to use).
    auto onBattery = online;
    onBattery["ups.status"] = "OB";
    std::string sentBeforeRequest;
    rig.power.onRequest = [&](PowerAction) { sentBeforeRequest = rig.server.sent; };
    Ticks(rig, onBattery, 1);
    ASSERT_EQ(rig.countdown.runs, std::vector<std::uint16_t>{2});
    EXPECT_EQ(rig.countdown.captions, std::vector<std::string>{kModelCaption});
    Ticks(rig, onBattery, 3);
    ASSERT_EQ(rig.power.actions, std::vector<PowerAction>{PowerAction::PowerOff});
    EXPECT_EQ(sentBeforeRequest.substr(sentBeforeRequest.size() - 7), "LOGOUT\n");
    EXPECT_TRUE(rig.port.writeAttempts.empty()) << rig.port.writeAttempts.front();
    for (const auto& text : rig.errors.texts) {
        EXPECT_EQ(text.find("pw-123"), std::string::npos) << text;
    }
}

TEST_F(FollowingProgram, FsdShutsDownEvenUnderNeverAndAnUnknownChargeMeetsNoTrigger) {
    // CompOff 3: at 30 %.
    NetworkProgramRig rig(Settings("CompOff=3\n"));
    rig.program->FormCreate();
    // Listed, but without a value the server can give.
    std::map<std::string, std::string> values{{"ups.status", "OB"}, {"battery.charge", ""}};
    rig.server.incoming += Listed(values);
    rig.Tick();
    Ticks(rig, values, 3);
    EXPECT_TRUE(rig.countdown.runs.empty()) << "no battery.charge: nothing known to be low";
    EXPECT_EQ(rig.display.charge, std::optional<std::string>(kMissingReading));
    values["battery.charge"] = "25";
    Ticks(rig, values, 2);
    EXPECT_EQ(rig.countdown.runs.size(), 1u);
    rig.program->CountdownAnswered(CountdownCancelled);

    // "никогда": FSD from the primary still counts down, once, with the reason in its title;
    // cancelling it keeps the computer up while FSD stays.
    rig.program->PolicyChanged(PolicyList::Trigger, 6);
    values["ups.status"] = "FSD OB";
    Ticks(rig, values, 2);
    ASSERT_EQ(rig.countdown.captions.size(), 2u);
    EXPECT_EQ(rig.countdown.captions[1], "Основной компьютер выключает UPS");
    rig.program->CountdownAnswered(CountdownCancelled);
    Ticks(rig, values, 5);
    EXPECT_EQ(rig.countdown.runs.size(), 2u);
    EXPECT_TRUE(rig.power.actions.empty());

    // The server then goes silent: last seen on battery, so after its 15 s the countdown runs
    // again, with nobody to cancel it on mains.
    values["ups.status"] = "OB";
    Ticks(rig, values, 2);
    rig.server.state = NutClientSocket::State::Closed;
    rig.server.refuse = true;
    for (int i = 0; i < 20; ++i) {
        rig.Tick();
    }
    EXPECT_EQ(rig.countdown.runs.size(), 3u);
    EXPECT_EQ(rig.display.linkState, std::optional<bool>(false));
    EXPECT_EQ(rig.power.actions.size(), 1u);
}

TEST_F(FollowingProgram, TheDialogChecksAServerAndItsChoiceIsStoredLikeAPort) {
    NetworkProgramRig rig("[UPS]\nPorts=ttyS9\nCOMPortPath=ttyS9\n");
    rig.program->FormCreate();
    EXPECT_TRUE(rig.view.upsOffEnabled);
    const int entry = static_cast<int>(rig.view.portNames.size()) - 1;
    rig.program->ComboBox4Change(entry);
    ASSERT_EQ(rig.view.dialogs.size(), 1u);
    EXPECT_EQ(rig.view.portIndex, 0) << "the list shows the port in use again";

    EXPECT_FALSE(rig.program->NetworkUpsChosen(NetworkUpsForm{"", "ups", "", ""}));
    rig.program->CheckNetworkUps(NetworkUpsForm{"127.0.0.1:3500", "zelto", "", ""});
    EXPECT_EQ(rig.checked.addresses, std::vector<std::string>{"127.0.0.1:3500"});
    rig.Tick();
    EXPECT_EQ(rig.checked.sent, "LIST UPS\n");
    rig.checked.incoming =
        "BEGIN LIST UPS\nUPS zelto \"Serial UPS\"\nUPS other \"\"\nEND LIST UPS\n";
    rig.Tick();
    EXPECT_EQ(rig.view.checks.back(), "UPS «zelto» найден. На сервере: zelto, other");
    rig.program->CheckNetworkUps(NetworkUpsForm{"127.0.0.1:3501", "zelto", "", ""});
    rig.checked.state = NutClientSocket::State::Closed;
    rig.Tick();
    EXPECT_EQ(rig.view.checks.back(), "Не удалось подключиться к 127.0.0.1:3501");

    ASSERT_TRUE(
        rig.program->NetworkUpsChosen(NetworkUpsForm{"127.0.0.1:3500", "zelto", "mon", "pw"}));
    rig.Tick();
    EXPECT_EQ(rig.server.addresses, std::vector<std::string>{"127.0.0.1:3500"});
    EXPECT_FALSE(rig.view.upsOffEnabled);
    const std::string file = rig.SettingsFile();
    EXPECT_NE(file.find("COMPortPath=zelto@127.0.0.1:3500"), std::string::npos) << file;
    EXPECT_NE(file.find("NUTUser=mon"), std::string::npos) << file;
    EXPECT_NE(file.find("NUTPassword=pw"), std::string::npos) << file;

    // A refused login is said once, in the server's words, and tried again quietly.
    rig.server.incoming += "OK\nOK\nERR ACCESS-DENIED\n";
    rig.Tick();
    rig.server.state = NutClientSocket::State::Closed;
    for (int i = 0; i < 4; ++i) {
        rig.server.incoming += "OK\nOK\nERR ACCESS-DENIED\n";
        rig.Tick();
    }
    ASSERT_EQ(rig.errors.texts.size(), 1u);
    EXPECT_NE(rig.errors.texts[0].find("ERR ACCESS-DENIED"), std::string::npos);
    EXPECT_EQ(rig.errors.texts[0].find("pw"), std::string::npos);
    EXPECT_GE(rig.server.addresses.size(), 2u);

    // Back to the serial port: the server hears LOGOUT, the UPS list is usable again.
    rig.server.state = NutClientSocket::State::Connected;
    rig.program->ComboBox4Change(0);
    EXPECT_TRUE(rig.view.upsOffEnabled);
    EXPECT_EQ(rig.port.opens, 2);
}

}  // namespace
}  // namespace zelto
