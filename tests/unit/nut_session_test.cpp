// The NUT server's replies, byte for byte, as upsc, upsmon, PyNUT, Home Assistant and WinNUT read
// them: every command, the login sequences and the replies while readings are missing.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/nut/nut_session.h"

namespace zelto {
namespace {

NutSnapshot OnLine() {
    NutSnapshot snapshot;
    snapshot.link = NutLink::Fresh;
    snapshot.record =
        NutRecordFields{"230.0", "230.0", "230.0", "020", "50.0", "27.2", "25.0", "00001001"};
    snapshot.batteryCharge = 87;
    snapshot.lowBatteryCharge = 30;
    snapshot.driverName = "upszelto";
    snapshot.driverVersion = "1.0.0";
    return snapshot;
}

struct Server {
    std::vector<NutUser> users{{"monuser", "s3cret"}};
    NutSnapshot snapshot = OnLine();
    std::vector<std::string> addresses{"127.0.0.1", "bad address"};

    NutServerView View() const {
        return NutServerView{"zelto", "Desk UPS", "1.0.0", users, snapshot, 2, addresses};
    }
    NutReply Say(NutSession& session, std::string_view line) const {
        return NutAnswer(session, View(), line);
    }
    std::string Fresh(std::string_view line) const {
        NutSession session;
        return Say(session, line).text;
    }
};

struct Exchange {
    const char* line;
    const char* reply;
};

// Every client reads replies as LF-terminated printable ASCII lines of under 512 bytes.
void ExpectWellFormed(const std::string& reply) {
    ASSERT_FALSE(reply.empty());
    EXPECT_EQ(reply.back(), '\n');
    std::size_t lineLength = 0;
    for (const char c : reply) {
        lineLength = c == '\n' ? 0 : lineLength + 1;
        EXPECT_LT(lineLength, 511u);
        EXPECT_TRUE(c == '\n' || (c >= 0x20 && c <= 0x7E)) << static_cast<int>(c);
    }
}

void ExpectReplies(const Server& server, const std::vector<Exchange>& table) {
    for (const Exchange& e : table) {
        const std::string reply = server.Fresh(e.line);
        EXPECT_EQ(reply, e.reply) << e.line;
        ExpectWellFormed(reply);
    }
}

TEST(NutSession, SingleRequests) {
    ExpectReplies(
        Server{},
        {
            {"VER", "UPS Zelto NUT server 1.0.0 - built-in read-only NUT server\n"},
            {"VER x", "ERR INVALID-ARGUMENT\n"},
            {"NETVER", "1.3\n"},
            {"protver", "1.3\n"},
            {"NETVER 1", "ERR INVALID-ARGUMENT\n"},
            {"HELP",
             "Commands: HELP VER PROTVER GET LIST SET INSTCMD LOGIN LOGOUT USERNAME PASSWORD "
             "STARTTLS\n"},
            {"STARTTLS", "ERR FEATURE-NOT-CONFIGURED\n"},
            {"LIST UPS", "BEGIN LIST UPS\nUPS zelto \"Desk UPS\"\nEND LIST UPS\n"},
            {"list ups", "BEGIN LIST UPS\nUPS zelto \"Desk UPS\"\nEND LIST UPS\n"},
            {"LIST \"UPS\"\r\r", "BEGIN LIST UPS\nUPS zelto \"Desk UPS\"\nEND LIST UPS\n"},
            {"LIST RW zelto", "BEGIN LIST RW zelto\nEND LIST RW zelto\n"},
            {"LIST CMD ZELTO", "BEGIN LIST CMD ZELTO\nEND LIST CMD ZELTO\n"},
            {"LIST ENUM zelto ups.status",
             "BEGIN LIST ENUM zelto ups.status\nEND LIST ENUM zelto ups.status\n"},
            {"LIST RANGE zelto UPS.LOAD",
             "BEGIN LIST RANGE zelto UPS.LOAD\nEND LIST RANGE zelto UPS.LOAD\n"},
            {"LIST ENUM zelto nope", "ERR VAR-NOT-SUPPORTED\n"},
            {"LIST ENUM zelto", "ERR INVALID-ARGUMENT\n"},
            {"LIST CLIENT Zelto",
             "BEGIN LIST CLIENT Zelto\nCLIENT zelto 127.0.0.1\nEND LIST CLIENT Zelto\n"},
            {"LIST CLIENTS zelto", "ERR INVALID-ARGUMENT\n"},
            {"LIST FOO x", "ERR INVALID-ARGUMENT\n"},
            {"LIST", "ERR INVALID-ARGUMENT\n"},
            {"LIST VAR nope", "ERR UNKNOWN-UPS\n"},
            {"GET VAR zelto ups.status", "VAR zelto ups.status \"OL\"\n"},
            {"get var ZELTO UPS.LOAD", "VAR ZELTO UPS.LOAD \"20\"\n"},
            {"GET VAR zelto ups.status # polled", "VAR zelto ups.status \"OL\"\n"},
            {"GET VAR zelto ups.mode.buzzwords", "ERR VAR-NOT-SUPPORTED\n"},
            {"GET VAR nope ups.status", "ERR UNKNOWN-UPS\n"},
            {"GET VAR zelto", "ERR INVALID-ARGUMENT\n"},
            {"GET VAR nope server.version", "VAR nope server.version \"1.0.0\"\n"},
            {"GET VAR zelto server.info", "VAR zelto server.info \"UPS Zelto NUT server 1.0.0\"\n"},
            {"GET VAR \"a b\" server.info", "ERR UNKNOWN-UPS\n"},
            {"GET TYPE zelto ups.load", "TYPE zelto ups.load NUMBER\n"},
            {"GET TYPE zelto nope", "ERR VAR-NOT-SUPPORTED\n"},
            {"GET DESC zelto ups.load", "DESC zelto ups.load \"Load on UPS (percent of full)\"\n"},
            {"GET DESC zelto nope", "DESC zelto nope \"Description unavailable\"\n"},
            {"GET DESC zelto \"a b\"", "ERR INVALID-ARGUMENT\n"},
            {"GET CMDDESC zelto beeper.toggle",
             "CMDDESC zelto beeper.toggle \"Description unavailable\"\n"},
            {"GET UPSDESC zelto", "UPSDESC zelto \"Desk UPS\"\n"},
            {"GET UPSDESC nope", "ERR UNKNOWN-UPS\n"},
            {"GET NUMLOGINS zelto", "NUMLOGINS zelto 2\n"},
            {"GET NUMLOGINS", "ERR INVALID-ARGUMENT\n"},
            {"GET TRACKING", "OFF\n"},
            {"GET TRACKING 1234", "ERR FEATURE-NOT-CONFIGURED\n"},
            {"GET FOO", "ERR INVALID-ARGUMENT\n"},
            {"GET", "ERR INVALID-ARGUMENT\n"},
            {"", "ERR UNKNOWN-COMMAND\n"},
            {"   # only a comment", "ERR UNKNOWN-COMMAND\n"},
            {"FOO", "ERR UNKNOWN-COMMAND\n"},
            {"USERNAME", "ERR INVALID-ARGUMENT\n"},
            {"USERNAME a b", "ERR INVALID-ARGUMENT\n"},
            {"LOGIN zelto", "ERR USERNAME-REQUIRED\n"},
            {"PRIMARY zelto", "ERR USERNAME-REQUIRED\n"},
            {"FSD zelto", "ERR USERNAME-REQUIRED\n"},
            {"SET VAR zelto ups.id \"x\"", "ERR USERNAME-REQUIRED\n"},
            {"INSTCMD zelto beeper.toggle", "ERR USERNAME-REQUIRED\n"},
            {"LOGOUT now", "ERR INVALID-ARGUMENT\n"},
            {"GET VAR zelto \"a#b", "ERR INVALID-ARGUMENT\n"},
            {"GET VAR zelto \"ups.status", "ERR INVALID-ARGUMENT\n"},
        });
}

TEST(NutSession, ListVarIsSortedAndExact) {
    EXPECT_EQ(Server{}.Fresh("LIST VAR ZELTO"),
              "BEGIN LIST VAR ZELTO\n"
              "VAR ZELTO battery.charge \"87\"\n"
              "VAR ZELTO battery.charge.low \"30\"\n"
              "VAR ZELTO battery.voltage \"27.20\"\n"
              "VAR ZELTO device.type \"ups\"\n"
              "VAR ZELTO driver.name \"upszelto\"\n"
              "VAR ZELTO driver.version \"1.0.0\"\n"
              "VAR ZELTO input.frequency \"50.0\"\n"
              "VAR ZELTO input.voltage \"230.0\"\n"
              "VAR ZELTO input.voltage.fault \"230.0\"\n"
              "VAR ZELTO output.voltage \"230.0\"\n"
              "VAR ZELTO ups.beeper.status \"enabled\"\n"
              "VAR ZELTO ups.load \"20\"\n"
              "VAR ZELTO ups.status \"OL\"\n"
              "VAR ZELTO ups.temperature \"25.0\"\n"
              "VAR ZELTO ups.type \"offline / line interactive\"\n"
              "END LIST VAR ZELTO\n");
}

TEST(NutSession, MissingReadings) {
    const char* const needsData[] = {
        "GET VAR zelto ups.status", "LIST VAR zelto",      "LIST RW zelto",
        "LIST CMD zelto",           "LIST ENUM zelto x",   "GET TYPE zelto ups.load",
        "GET DESC zelto ups.load",  "GET NUMLOGINS zelto", "GET CMDDESC zelto x",
    };
    const Exchange unaffected[] = {
        {"LIST UPS", "BEGIN LIST UPS\nUPS zelto \"Desk UPS\"\nEND LIST UPS\n"},
        {"GET VAR zelto server.version", "VAR zelto server.version \"1.0.0\"\n"},
        {"LIST CLIENT zelto",
         "BEGIN LIST CLIENT zelto\nCLIENT zelto 127.0.0.1\nEND LIST CLIENT zelto\n"},
        {"GET VAR nope ups.status", "ERR UNKNOWN-UPS\n"},
    };
    const struct {
        NutLink link;
        bool record;
        const char* error;
    } states[] = {
        {NutLink::NotConnected, true, "ERR DRIVER-NOT-CONNECTED\n"},
        {NutLink::NotConnected, false, "ERR DRIVER-NOT-CONNECTED\n"},
        {NutLink::Stale, true, "ERR DATA-STALE\n"},
        {NutLink::Fresh, false, "ERR DATA-STALE\n"},
    };
    for (const auto& state : states) {
        Server server;
        server.snapshot.link = state.link;
        if (!state.record) {
            server.snapshot.record.reset();
        }
        for (const char* line : needsData) {
            EXPECT_EQ(server.Fresh(line), state.error) << line;
        }
        for (const Exchange& e : unaffected) {
            EXPECT_EQ(server.Fresh(e.line), e.reply) << e.line;
        }
        NutSession session;
        for (const char* line : {"USERNAME monuser", "PASSWORD s3cret", "LOGIN zelto"}) {
            EXPECT_EQ(server.Say(session, line).text, "OK\n") << line;
        }
        EXPECT_EQ(server.Say(session, "SET VAR zelto ups.id x").text, state.error);
        EXPECT_EQ(server.Say(session, "INSTCMD zelto beeper.toggle").text, state.error);
        EXPECT_EQ(server.Say(session, "FSD zelto").text, "ERR ACCESS-DENIED\n");
    }
}

// One connection's requests in order: each reply and its effects.
struct Step {
    const char* line;
    const char* reply;
    bool loggedIn = false;
    bool loginFailed = false;
    bool close = false;
};

void ExpectSequence(const std::vector<Step>& steps) {
    const Server server;
    NutSession session;
    for (const Step& step : steps) {
        const NutReply reply = server.Say(session, step.line);
        EXPECT_EQ(reply.text, step.reply) << step.line;
        EXPECT_EQ(reply.loggedIn, step.loggedIn) << step.line;
        EXPECT_EQ(reply.loginFailed, step.loginFailed) << step.line;
        EXPECT_EQ(reply.close, step.close) << step.line;
    }
}

TEST(NutSession, SecondaryLogsInAndIsReadOnly) {
    ExpectSequence({
        {"STARTTLS", "ERR FEATURE-NOT-CONFIGURED\n"},
        {"USERNAME monuser", "OK\n"},
        {"PASSWORD s3cret", "OK\n"},
        {"LOGIN nope", "ERR UNKNOWN-UPS\n"},
        {"LOGIN", "ERR INVALID-ARGUMENT\n"},
        {"LOGIN Zelto", "OK\n", true},
        {"LOGIN zelto", "ERR ALREADY-LOGGED-IN\n"},
        {"USERNAME other", "ERR ALREADY-SET-USERNAME\n"},
        {"PASSWORD other", "ERR ALREADY-SET-PASSWORD\n"},
        {"PRIMARY zelto", "ERR ACCESS-DENIED\n"},
        {"MASTER zelto", "ERR ACCESS-DENIED\n"},
        {"FSD zelto", "ERR ACCESS-DENIED\n"},
        {"FSD nope", "ERR UNKNOWN-UPS\n"},
        {"SET VAR zelto ups.id \"x\"", "ERR ACCESS-DENIED\n"},
        {"SET VAR zelto ups.id", "ERR INVALID-ARGUMENT\n"},
        {"SET TRACKING ON", "ERR FEATURE-NOT-SUPPORTED\n"},
        {"SET TRACKING maybe", "ERR INVALID-ARGUMENT\n"},
        {"SET FOO zelto", "ERR INVALID-ARGUMENT\n"},
        {"INSTCMD zelto beeper.toggle", "ERR CMD-NOT-SUPPORTED\n"},
        {"INSTCMD nope beeper.toggle", "ERR UNKNOWN-UPS\n"},
        {"INSTCMD zelto", "ERR INVALID-ARGUMENT\n"},
        {"GET VAR zelto ups.status", "VAR zelto ups.status \"OL\"\n"},
        {"LOGOUT", "OK Goodbye\n", false, false, true},
    });
}

TEST(NutSession, CredentialsAreNeededInOrder) {
    ExpectSequence({
        {"PASSWORD s3cret", "OK\n"},
        {"LOGIN zelto", "ERR USERNAME-REQUIRED\n"},
        {"USERNAME monuser", "OK\n"},
        {"LOGIN zelto", "OK\n", true},
    });
    ExpectSequence({
        {"USERNAME monuser", "OK\n"},
        {"LOGIN zelto", "ERR PASSWORD-REQUIRED\n"},
        {"FSD zelto", "ERR PASSWORD-REQUIRED\n"},
        {"PASSWORD \"s3cret\"", "OK\n"},
        {"LOGIN zelto", "OK\n", true},
    });
}

TEST(NutSession, WrongCredentialsAreRefusedAndThirdFailureCloses) {
    for (const auto& [user, password] :
         std::vector<std::pair<const char*, const char*>>{{"monuser", "wrong"},
                                                          {"monuser", "s3cre"},
                                                          {"monuser", "s3cret2"},
                                                          {"MONUSER", "s3cret"},
                                                          {"ghost", "s3cret"}}) {
        const Server server;
        NutSession session;
        EXPECT_EQ(server.Say(session, std::string("USERNAME ") + user).text, "OK\n");
        EXPECT_EQ(server.Say(session, std::string("PASSWORD ") + password).text, "OK\n");
        for (int attempt = 1; attempt <= 3; ++attempt) {
            const NutReply reply = server.Say(session, "LOGIN zelto");
            EXPECT_EQ(reply.text, "ERR ACCESS-DENIED\n") << user << " " << password;
            EXPECT_TRUE(reply.loginFailed);
            EXPECT_FALSE(reply.loggedIn);
            EXPECT_EQ(reply.close, attempt == 3) << attempt;
        }
        EXPECT_FALSE(session.loggedIn);
    }
}

TEST(NutSession, HostileLinesGetOneErrorEach) {
    const Server server;
    NutSession session;
    NutLineBuffer buffer;
    std::string junk = std::string(600, 'A') + "\n" + std::string("\x00\x01\x80\xff\n", 5);
    std::string manyWords = "GET VAR zelto ups.status";
    for (int i = 0; i < 200; ++i) {
        manyWords += " x";
    }
    junk += manyWords + "\nVER\n";
    std::string replies;
    for (const NutLine& line : buffer.Feed(junk)) {
        replies += NutAnswer(session, server.View(), line).text;
    }
    // Names near the limits: every reply stays within what clients read.
    for (const std::string& name :
         {std::string(64, 'n'), std::string(65, 'n'), std::string(511, 'n')}) {
        for (const std::string& request :
             {"GET DESC zelto " + name, "GET VAR " + name + " server.version",
              "GET CMDDESC zelto " + name, "LIST ENUM zelto " + name}) {
            ExpectWellFormed(server.Fresh(request));
        }
    }
    EXPECT_EQ(replies,
              "ERR INVALID-ARGUMENT\n"
              "ERR UNKNOWN-COMMAND\n"
              "VAR zelto ups.status \"OL\"\n"
              "UPS Zelto NUT server 1.0.0 - built-in read-only NUT server\n");
}

}  // namespace
}  // namespace zelto
