// The NUT protocol's pure parts: request words, line framing, numbers, ups.status, the variable
// table, settings, accounts, limits and the wait for secondaries.

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/nut/nut_address.h"
#include "core/nut/nut_client_session.h"
#include "core/nut/nut_follow.h"
#include "core/nut/nut_fsd_wait.h"
#include "core/nut/nut_limits.h"
#include "core/nut/nut_line_buffer.h"
#include "core/nut/nut_numbers.h"
#include "core/nut/nut_settings.h"
#include "core/nut/nut_status.h"
#include "core/nut/nut_text.h"
#include "core/nut/nut_users.h"
#include "core/nut/nut_variables.h"
#include "core/nut/nut_words.h"

namespace zelto {
namespace {

using Words = std::vector<std::string>;

TEST(NutWords, SplitAsUpsdDoes) {
    using namespace std::string_literals;
    const struct {
        std::string line;
        Words words;
        bool malformed;
    } cases[] = {
        {"GET VAR zelto ups.status", {"GET", "VAR", "zelto", "ups.status"}, false},
        {"  LIST   UPS  ", {"LIST", "UPS"}, false},
        {"LIST \"UPS\"", {"LIST", "UPS"}, false},
        {"SET VAR zelto ups.id \"a b\"", {"SET", "VAR", "zelto", "ups.id", "a b"}, false},
        {"PASSWORD \"\"", {"PASSWORD", ""}, false},
        {"A\\ B", {"A B"}, false},
        {"\"a\\\"b\" \"c\\\\d\"", {"a\"b", "c\\d"}, false},
        {"\"a\\#b\"", {"a#b"}, false},
        {"a#b c", {"a"}, false},
        {"# only a comment", {}, false},
        {"x \\", {"x"}, false},
        {"ab\"cd\"ef", {"ab", "cd", "ef"}, false},
        {"LIST\tUPS\r\r", {"LIST", "UPS"}, false},
        {"LI\x01ST U\x7fPS\xff\x80"s + '\0', {"LIST", "UPS"}, false},
        {"VAR ups x \"23\001\2000.5 V\"", {"VAR", "ups", "x", "230.5 V"}, false},
        {"\\#x y\\ z \"q\\\"\"r", {"#x", "y z", "q\"", "r"}, false},
        {"GET VAR zelto \"a#b", {}, true},
        {"GET VAR zelto \"a#b\" c", {}, true},
        {"GET VAR zelto \"ups.status", {}, true},
        {"", {}, false},
    };
    for (const auto& c : cases) {
        const NutWords result = SplitNutWords(c.line);
        EXPECT_EQ(result.malformed, c.malformed) << c.line;
        if (!c.malformed) {
            EXPECT_EQ(result.words, c.words) << c.line;
        }
    }
}

TEST(NutWords, WordLengthAndCountAreBounded) {
    const NutWords longWord = SplitNutWords("GET " + std::string(600, 'w') + " end");
    ASSERT_EQ(longWord.words.size(), 3u);
    EXPECT_EQ(longWord.words[1], std::string(512, 'w'));
    EXPECT_EQ(longWord.words[2], "end");

    for (const int count : {33, 40, 10000}) {
        std::string line;
        for (int i = 0; i < count; ++i) {
            line += "w" + std::to_string(i) + " ";
        }
        const NutWords many = SplitNutWords(line);
        ASSERT_EQ(many.words.size(), 32u) << count;
        EXPECT_EQ(many.words.front(), "w0");
        EXPECT_EQ(many.words.back(), "w31");
    }
}

TEST(NutLineBuffer, PipelinedSplitAndHostileInput) {
    using namespace std::string_literals;
    const struct {
        std::vector<std::string> chunks;
        std::vector<std::string> lines;  // "<too long>" marks an over-long line
    } cases[] = {
        {{"VER\nNETVER\n"}, {"VER", "NETVER"}},
        {{"L", "I", "S", "T ", "UPS\r", "\n"}, {"LIST UPS\r"}},
        {{"VER\r\r\nHELP"}, {"VER\r\r"}},
        {{"\n\n"}, {"", ""}},
        {{"V\0E\x1bR\x80\xff\n"s}, {"VER"}},
        {{std::string(512, 'a') + "\n"}, {std::string(512, 'a')}},
        {{std::string(513, 'a') + "\nVER\n"}, {"<too long>", "VER"}},
        {{std::string(300, 'a'), std::string(300, 'b'), "\n", "HELP\n"}, {"<too long>", "HELP"}},
        {{std::string(600, '\0') + "VER\n"}, {"VER"}},
        {{std::string(256, 'a') + "\x01", std::string(256, 'b') + "\x80\n"},
         {std::string(256, 'a') + std::string(256, 'b')}},
        {{std::string(512, 'a'), "\001b\nVER\n"}, {"<too long>", "VER"}},
        {{std::string(1 << 20, 'x'), "\nVER\n"}, {"<too long>", "VER"}},
    };
    for (const auto& c : cases) {
        NutLineBuffer buffer;
        std::vector<std::string> lines;
        for (const std::string& chunk : c.chunks) {
            for (const NutLine& line : buffer.Feed(chunk)) {
                lines.push_back(line.tooLong ? "<too long>" : line.text);
            }
            EXPECT_LE(buffer.Pending(), 512u);
        }
        EXPECT_EQ(lines, c.lines) << c.chunks.front().substr(0, 20);
    }
}

TEST(NutNumbers, ParseAndFormatWithoutLocale) {
    const struct {
        const char* text;
        bool valid;
        double value;
    } parsed[] = {
        {"230.0", true, 230.0}, {" 50.0 ", true, 50.0}, {"020", true, 20.0}, {"-5.5", true, -5.5},
        {"--.-", false, 0},     {"", false, 0},         {"1e3", false, 0},   {"inf", false, 0},
        {"0x10", false, 0},     {"1.2.3", false, 0},    {".", false, 0},     {"2,5", false, 0},
    };
    for (const auto& c : parsed) {
        const auto value = ParseNutDecimal(c.text);
        EXPECT_EQ(value.has_value(), c.valid) << c.text;
        if (c.valid && value) {
            EXPECT_DOUBLE_EQ(*value, c.value) << c.text;
        }
    }
    EXPECT_EQ(FormatNutFixed(27.2, 2), "27.20");
    EXPECT_EQ(FormatNutFixed(20.0, 0), "20");
    EXPECT_EQ(FormatNutFixed(230.0, 1), "230.0");
    EXPECT_EQ(FormatNutFixed(49.96, 1), "50.0");
    EXPECT_EQ(FormatNutFixed(-0.04, 1), "0.0");
    EXPECT_EQ(FormatNutFixed(-5.5, 1), "-5.5");

    EXPECT_EQ(ParseNutInt("3493", 1, 65535), 3493);
    EXPECT_EQ(ParseNutInt(" 8 ", 1, 10), 8);
    EXPECT_EQ(ParseNutInt("-1", -5, 5), -1);
    for (const char* bad : {"+1", "1.0", "70000", "", "0", "1x", "99999999999"}) {
        EXPECT_FALSE(ParseNutInt(bad, 1, 65535).has_value()) << bad;
    }
}

TEST(NutText, QuotingSafeValuesAndNames) {
    EXPECT_EQ(NutQuoted("a\"b\\c#d"), "\"a\\\"b\\\\c\\#d\"");
    EXPECT_EQ(NutSafeValue("Big \"Box\" #1\\\t\xc3\xa9!"), "Big Box 1!");
    EXPECT_EQ(NutSafeValue(std::string(300, 'v')).size(), 256u);
    EXPECT_TRUE(IsNutName("My_UPS-2.x"));
    for (const std::string& bad : {std::string(), std::string("a b"), std::string(65, 'n')}) {
        EXPECT_FALSE(IsNutName(bad)) << bad;
    }
    EXPECT_TRUE(NutEqualNoCase("ZeLtO", "zelto"));
    EXPECT_FALSE(NutEqualNoCase("zelto", "zelt"));
    EXPECT_TRUE(NutLessNoCase("a", "B"));
    EXPECT_FALSE(NutLessNoCase("b", "A"));
    EXPECT_FALSE(NutLessNoCase("ups.status", "UPS.STATUS"));
}

NutRecordFields Record(const char* mains, const char* output, const char* flags) {
    return NutRecordFields{mains, "230.0", output, "020", "50.0", "27.2", "25.0", flags};
}

TEST(NutStatus, ComposedFromFlagsTriggerAndLatch) {
    const struct {
        NutRecordFields record;
        bool lowBattery;
        bool forced;
        const char* status;
    } cases[] = {
        {Record("230.0", "230.0", "00001001"), false, false, "OL"},
        {Record("000.0", "230.0", "10001001"), false, false, "OB"},
        {Record("000.0", "230.0", "11001001"), false, false, "OB LB"},
        {Record("000.0", "230.0", "10001001"), true, false, "OB LB"},
        {Record("230.0", "230.0", "00001001"), true, false, "OL"},
        {Record("000.0", "230.0", "11001101"), false, false, "OB LB CAL"},
        {Record("000.0", "230.0", "10001011"), false, false, "OB FSD"},
        {Record("000.0", "230.0", "10001011"), false, true, "FSD OB"},
        {Record("000.0", "230.0", "11001001"), false, true, "FSD OB LB"},
        {Record("230.0", "230.0", "00001001"), false, true, "FSD OL"},
        {Record("200.0", "230.0", "00101001"), false, false, "OL BOOST"},
        {Record("240.0", "220.0", "00101001"), false, false, "OL TRIM"},
        {Record("230.0", "230.0", "00101001"), false, false, "OL"},
        {Record("100.0", "230.0", "00101001"), false, false, "OL"},
        {Record("230.0", "100.0", "00101001"), false, false, "OL"},
        {Record("---.-", "230.0", "00101001"), false, false, "OL"},
        {Record("200.0", "230.0", "00001001"), false, false, "OL"},
        {Record("230.0", "230.0", "x2?01001"), false, false, "OL"},
        {Record("230.0", "230.0", "1"), false, false, "OB"},
        {Record("230.0", "230.0", ""), false, false, "OL"},
    };
    for (const auto& c : cases) {
        NutSnapshot snapshot;
        snapshot.lowBattery = c.lowBattery;
        snapshot.forcedShutdown = c.forced;
        EXPECT_EQ(NutUpsStatus(c.record, snapshot), c.status)
            << c.record.flags << " " << c.record.mainsVoltage << " " << c.lowBattery << c.forced;
    }
}

// "name=value" lines in the table's order.
std::string Listing(const NutSnapshot& snapshot) {
    std::string text;
    for (const NutVariable& variable : NutVariables(snapshot)) {
        text += variable.name + "=" + variable.value + "\n";
    }
    return text;
}

TEST(NutVariables, FormattedSortedAndSanitized) {
    NutSnapshot snapshot;
    snapshot.link = NutLink::Fresh;
    snapshot.record =
        NutRecordFields{"226.0", "195.0", "226.0", "014", "49.0", "27.5", "--.-", "00011010"};
    snapshot.batteryCharge = 150;
    snapshot.lowBatteryCharge = 30;
    snapshot.deviceModel = "Big \"Box\" #1\xc3\xa9";
    snapshot.driverName = "upszelto";
    EXPECT_EQ(Listing(snapshot),
              "battery.charge=100\nbattery.charge.low=30\nbattery.voltage=27.50\n"
              "device.model=Big Box 1\ndevice.type=ups\ndriver.name=upszelto\n"
              "input.frequency=49.0\ninput.voltage=226.0\ninput.voltage.fault=195.0\n"
              "output.voltage=226.0\nups.alarm=UPS selftest failed! Shutdown imminent!\n"
              "ups.beeper.status=disabled\nups.load=14\nups.model=Big Box 1\n"
              "ups.status=OL FSD\nups.type=offline / line interactive\n");

    snapshot.record = NutRecordFields{"x", "", "", "", "", "", "", "0000000?"};
    snapshot.batteryCharge = -5;
    snapshot.lowBatteryCharge.reset();
    snapshot.deviceModel.clear();
    EXPECT_EQ(Listing(snapshot),
              "battery.charge=0\ndevice.type=ups\ndriver.name=upszelto\n"
              "ups.beeper.status=enabled\nups.status=OL\nups.type=online\n");

    snapshot.record.reset();
    EXPECT_EQ(Listing(snapshot), "device.type=ups\ndriver.name=upszelto\n");
}

TEST(NutVariables, LookupAndDescriptions) {
    NutSnapshot snapshot;
    snapshot.record = Record("230.0", "230.0", "00001001");
    ASSERT_TRUE(FindNutVariable(snapshot, "UPS.Load").has_value());
    EXPECT_EQ(FindNutVariable(snapshot, "UPS.Load")->value, "20");
    EXPECT_FALSE(FindNutVariable(snapshot, "ups.loa").has_value());
    EXPECT_EQ(NutVariableDescription("ups.load"), "Load on UPS (percent of full)");
    EXPECT_EQ(NutVariableDescription("BATTERY.CHARGE"), "Battery charge (percent of full)");
    EXPECT_EQ(NutVariableDescription("input.voltage.fault"), "Description unavailable");
}

NutSettingsRead Read(const std::map<std::string, std::string>& file) {
    return ReadNutSettings([&file](std::string_view key) -> std::optional<std::string> {
        const auto found = file.find(std::string(key));
        if (found == file.end()) {
            return std::nullopt;
        }
        return found->second;
    });
}

// Every field on one line, users as name:password.
std::string Summary(const NutSettingsRead& read) {
    const NutSettings& s = read.settings;
    std::string text = s.enabled ? "on" : "off";
    for (const std::string& address : s.listen) {
        text += " " + address;
    }
    text += " port " + std::to_string(s.port) + " " + s.upsName + " '" + s.upsDescription + "'";
    for (const NutUser& user : s.users) {
        text += " " + user.name + ":" + user.password;
    }
    return text + " wait " + std::to_string(s.fsdWaitSeconds) + " idle " +
           std::to_string(s.limits.idleTimeoutSeconds) + " max " +
           std::to_string(s.limits.maxClients) + "/" +
           std::to_string(s.limits.maxClientsPerAddress);
}

TEST(NutSettings, DefaultsValuesAndBadOnesNamed) {
    const NutSettingsRead defaults = Read({{"NutServer", " "}, {"NutPort", ""}});
    EXPECT_TRUE(defaults.problems.empty());
    EXPECT_EQ(Summary(defaults), "off 127.0.0.1 ::1 port 3493 zelto '' wait 20 idle 120 max 32/8");

    const NutSettingsRead good = Read({{"NutServer", "1"},
                                       {"NutListen", "192.168.1.5, ::1 192.168.1.5"},
                                       {"NutPort", "13493"},
                                       {"NutUpsName", "Desk-UPS"},
                                       {"NutUpsDesc", "Desk \"UPS\""},
                                       {"NutUsers", "monuser:s3cret nas:p@ss,w0rd"},
                                       {"NutFsdWait", "0"},
                                       {"NutIdleTimeout", "5"},
                                       {"NutMaxClients", "4"},
                                       {"NutMaxPerAddress", "2"}});
    EXPECT_TRUE(good.problems.empty());
    EXPECT_EQ(Summary(good),
              "on 192.168.1.5 ::1 port 13493 Desk-UPS 'Desk UPS' monuser:s3cret nas:p@ss,w0rd "
              "wait 0 idle 5 max 4/2");

    const NutSettingsRead bad = Read({{"NutServer", "yes"},
                                      {"NutListen", "192.168.1.300 host.lan"},
                                      {"NutPort", "0"},
                                      {"NutUpsName", "my ups"},
                                      {"NutUsers", "a:b nopass: :x a:dup b#:x"},
                                      {"NutFsdWait", "601"},
                                      {"NutIdleTimeout", "abc"}});
    EXPECT_EQ(bad.problems,
              (Words{"NutServer=yes", "NutListen=192.168.1.300", "NutListen=host.lan", "NutPort=0",
                     "NutUpsName=my ups", "NutUsers=nopass", "NutUsers=", "NutUsers=a",
                     "NutUsers=b", "NutFsdWait=601", "NutIdleTimeout=abc"}));
    EXPECT_EQ(Summary(bad), "off 127.0.0.1 ::1 port 3493 zelto '' a:b wait 20 idle 120 max 32/8");
}

TEST(NutSettings, ListenAddresses) {
    for (const char* good :
         {"127.0.0.1", "0.0.0.0", "::1", "::", "fe80::1", "2001:db8::8a2e:370:7334",
          "::ffff:192.0.2.1", "1:2:3:4:5:6:7:8", "1:2:3:4:5:6:7::"}) {
        EXPECT_TRUE(IsNutListenAddress(good)) << good;
    }
    for (const char* bad : {"", "localhost", "256.1.1.1", "1.2.3", "1.2.3.4.5", " 1.2.3.4",
                            "1..2.3", "1:2:3:4:5:6:7:8:9", "1::2::3", ":::", "12345::", "g::1",
                            "1:2:3:4:5:6:7::8", "1.2.3.4::", ":1:2:3:4:5:6:7", "1:2"}) {
        EXPECT_FALSE(IsNutListenAddress(bad)) << bad;
    }
}

TEST(NutSettings, PeerAddressesAsCountedAndLogged) {
    const struct {
        std::vector<std::uint8_t> bytes;
        const char* text;
    } cases[] = {
        {{127, 0, 0, 2}, "127.0.0.2"},
        {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff, 192, 0, 2, 1}, "192.0.2.1"},
        {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, "::1"},
        {{0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1}, "2001:db8::1:0:0:1"},
        {{0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1}, "2001:db8:0:1::1"},
        {{0xfe, 0x80, 0, 0, 0, 0, 0, 0, 0x02, 0x1a, 0x2b, 0xff, 0xfe, 0x3c, 0x4d, 0x5e},
         "fe80::21a:2bff:fe3c:4d5e"},
        {{0x20, 0x01, 0x0d, 0xb8, 0, 1, 0, 1, 0, 1, 0, 1, 0, 0, 0, 1}, "2001:db8:1:1:1:1:0:1"},
        {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, "::"},
        {{1, 2, 3}, "?"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NutPeerText(c.bytes.data(), c.bytes.size()), c.text) << c.text;
    }
}

TEST(NutUsers, CredentialRulesAndComparison) {
    EXPECT_TRUE(IsNutCredential("monuser"));
    EXPECT_TRUE(IsNutCredential(std::string(64, 'p')));
    for (const std::string& bad : std::vector<std::string>{"", "a b", "a#b", "a\"b", "a\\b", "a:b",
                                                           "\xc3\xa9", std::string(65, 'p')}) {
        EXPECT_FALSE(IsNutCredential(bad)) << bad;
    }
    const struct {
        const char* given;
        const char* expected;
        bool same;
    } cases[] = {{"abc", "abc", true}, {"abc", "abd", false},   {"ab", "abc", false},
                 {"abc", "ab", false}, {"", "", true},          {"", "x", false},
                 {"x", "", false},     {"abcabc", "abc", false}};
    for (const auto& c : cases) {
        EXPECT_EQ(NutSameSecret(c.given, c.expected), c.same) << c.given << "/" << c.expected;
    }
    const std::vector<NutUser> users{{"monuser", "s3cret"}, {"nas", "other"}};
    EXPECT_TRUE(NutCredentialsMatch(users, "nas", "other"));
    EXPECT_FALSE(NutCredentialsMatch(users, "nas", "s3cret"));
    EXPECT_FALSE(NutCredentialsMatch(users, "MONUSER", "s3cret"));
    EXPECT_FALSE(NutCredentialsMatch({}, "monuser", "s3cret"));
}

TEST(NutLimits, Boundaries) {
    const NutLimits limits;
    EXPECT_TRUE(NutAdmitClient(limits, 31, 7));
    EXPECT_FALSE(NutAdmitClient(limits, 32, 0));
    EXPECT_FALSE(NutAdmitClient(limits, 0, 8));
    EXPECT_FALSE(NutIdleExpired(limits, std::chrono::milliseconds(119999)));
    EXPECT_TRUE(NutIdleExpired(limits, std::chrono::seconds(120)));
    EXPECT_FALSE(NutOutputOverCap(limits, 65536));
    EXPECT_TRUE(NutOutputOverCap(limits, 65537));
}

TEST(NutFsdWait, SecondariesOrTimeEndTheWait) {
    using std::chrono::milliseconds;
    using std::chrono::seconds;
    const std::chrono::steady_clock::time_point committed{seconds(1000)};
    const struct {
        milliseconds elapsed;
        int secondaries;
        seconds wait;
        NutFsdWait state;
    } cases[] = {
        {milliseconds(0), 2, seconds(20), NutFsdWait::Wait},
        {milliseconds(19999), 1, seconds(20), NutFsdWait::Wait},
        {milliseconds(20000), 1, seconds(20), NutFsdWait::TimedOut},
        {milliseconds(5000), 0, seconds(20), NutFsdWait::SecondariesGone},
        {milliseconds(0), 0, seconds(20), NutFsdWait::SecondariesGone},
        {milliseconds(0), 1, seconds(0), NutFsdWait::TimedOut},
        {milliseconds(25000), 0, seconds(20), NutFsdWait::SecondariesGone},
    };
    for (const auto& c : cases) {
        const NutFsdWait state =
            NutFsdWaitState(committed, committed + c.elapsed, c.secondaries, c.wait);
        EXPECT_EQ(state, c.state) << c.elapsed.count() << " " << c.secondaries;
        EXPECT_EQ(NutFsdWaitOver(state), c.state != NutFsdWait::Wait);
    }
}

// The client side: following a UPS another machine serves.
TEST(NutFollow, UpsAddressesAnswersAndReconnectDelays) {
    const struct {
        const char* text;
        const char* parsed;  // "ups host port", or "" for refused
    } addresses[] = {
        {"ups@192.168.1.10", "ups 192.168.1.10 3493"},
        {"zelto@127.0.0.1:3493", "zelto 127.0.0.1 3493"},
        {"my-ups.1@nas.local:4000", "my-ups.1 nas.local 4000"},
        {"ups@[::1]:3493", "ups ::1 3493"},
        {"ups@[fe80::1]", "ups fe80::1 3493"},
        {"ups@host:0", ""},
        {"ups@host:65536", ""},
        {"ups@host:34x", ""},
        {"@host", ""},
        {"ups", ""},
        {"u ps@host", ""},
        {"ups@ho st", ""},
        {"ups@[::1]x", ""},
        {"ups@host;rm", ""},
    };
    for (const auto& a : addresses) {
        const auto address = ParseNutUpsAddress(a.text);
        EXPECT_EQ(
            address ? address->ups + " " + address->host + " " + std::to_string(address->port) : "",
            a.parsed)
            << a.text;
    }

    const struct {
        const char* line;
        std::optional<std::string> value;
    } answers[] = {
        {"VAR ups ups.status \"OB LB\"", "OB LB"},
        {"VAR ups battery.charge \"87\"", std::nullopt},  // another variable
        {"VAR nas ups.status \"OL\"", std::nullopt},      // another UPS
        {"VAR ups ups.status \"say \\\"hi\\\"\"", "say \"hi\""},
        {"ERR DATA-STALE", std::nullopt},
        {"VAR ups ups.status \"OL", std::nullopt},  // quote left open
        {"VAR ups ups.status", std::nullopt},
    };
    for (const auto& a : answers) {
        EXPECT_EQ(NutVarValue(a.line, "ups", "ups.status"), a.value) << a.line;
    }

    const int delays[] = {1, 2, 4, 8, 16, 30, 30};
    for (int attempt = 1; attempt <= 7; ++attempt) {
        EXPECT_EQ(NutReconnectDelay(attempt), delays[attempt - 1]) << attempt;
    }
    EXPECT_EQ(NutReconnectDelay(1000), 30);
}

TEST(NutFollow, CriticalAsASecondaryDecides) {
    // Each step: at `time`, the server's ups.status (nullptr: no answer), then whether the UPS
    // calls for the shutdown at that moment.
    struct Step {
        std::int64_t time;
        const char* status;
        bool critical;
    };
    const struct {
        const char* name;
        std::vector<Step> steps;
    } cases[] = {
        {"FSD at once", {{0, "OL", false}, {1, "FSD OL", true}}},
        {"on battery alone never",
         {{0, "OB", false}, {10, "OB DISCHRG", false}, {100, "OB DISCHRG", false}}},
        {"OB LB waits for FSD 15 s",
         {{0, "OB", false}, {5, "OB LB", false}, {19, "OB LB", false}, {20, "OB LB", true}}},
        {"FSD within the wait", {{0, "OB LB", false}, {3, "FSD OB LB", true}}},
        {"mains back ends the low wait",
         {{0, "OB LB", false},
          {10, "OL CHRG", false},
          {12, "OB LB", false},
          {26, nullptr, false},
          {27, "OB LB", true}}},
        {"silent after OB", {{0, "OB", false}, {14, nullptr, false}, {15, nullptr, true}}},
        {"silent after OL", {{0, "OL", false}, {100, nullptr, false}}},
    };
    for (const auto& c : cases) {
        NutFollowCritical follow;
        for (const Step& step : c.steps) {
            if (step.status != nullptr) {
                follow.Answered(step.time, step.status);
            }
            EXPECT_EQ(follow.Critical(step.time), step.critical) << c.name << " at " << step.time;
        }
        follow.Forget();
        EXPECT_FALSE(follow.Critical(c.steps.back().time + 100)) << c.name << " forgotten";
    }
}

TEST(NutClientSession, LoginListAndPollsAsASecondary) {
    NutClientSession session("ups", "mon", "se cret");
    EXPECT_EQ(session.Start(100),
              "USERNAME \"mon\"\nPASSWORD \"se cret\"\nLOGIN ups\nLIST VAR ups\n");
    EXPECT_EQ(session.Poll(100), "");  // nothing polled before the list
    for (const char* line : {"OK", "OK", "OK", "BEGIN LIST VAR ups", "VAR ups ups.status \"OL\"",
                             "VAR ups battery.charge \"87\"", "VAR ups ups.mfr \"Some\"",
                             "VAR other ups.load \"99\"", "END LIST VAR ups"}) {
        session.Received(line);
    }
    EXPECT_EQ(session.LoginState(), NutClientSession::Login::Accepted);
    ASSERT_TRUE(session.VariablesKnown());
    // Only what the UPS has is asked for, one GET each, the status first, none while a poll is
    // open.
    EXPECT_EQ(session.Poll(101), "GET VAR ups ups.status\nGET VAR ups battery.charge\n");
    EXPECT_EQ(session.Poll(101), "");
    EXPECT_FALSE(session.TimedOut(105));
    EXPECT_TRUE(session.TimedOut(106));
    session.Received("ERR DATA-STALE");
    session.Received("VAR ups battery.charge \"42\"");
    EXPECT_EQ(session.PollAnswers(), 2);
    EXPECT_EQ(session.Values().at("battery.charge"), "42");
    EXPECT_EQ(session.Values().at("ups.status"), "");  // stale: no value now
    session.Received("OK stray");                      // nothing open: ignored
    EXPECT_EQ(session.Poll(107), "GET VAR ups ups.status\nGET VAR ups battery.charge\n");
    EXPECT_FALSE(session.TimedOut(107));
}

TEST(NutClientSession, RefusalsListsAndHostileServers) {
    NutClientSession refused("ups", "mon", "wrong");
    refused.Start(0);
    for (const char* line : {"OK", "OK", "ERR ACCESS-DENIED"}) {
        refused.Received(line);
    }
    EXPECT_EQ(refused.LoginState(), NutClientSession::Login::Refused);
    EXPECT_EQ(refused.Refusal(), "ERR ACCESS-DENIED");

    // No user: no login, only reading. A server that lists nothing gets every reading asked.
    NutClientSession reader("ups", "", "");
    EXPECT_EQ(reader.Start(0), "LIST VAR ups\n");
    reader.Received("ERR UNKNOWN-UPS");
    EXPECT_EQ(reader.LoginState(), NutClientSession::Login::None);
    EXPECT_TRUE(reader.VariablesKnown());
    EXPECT_EQ(reader.Values().size(), std::size(kNutFollowedVariables));

    // An endless list keeps at most its bound, and its request times out.
    NutClientSession flooded("ups", "", "");
    flooded.Start(0);
    flooded.Received("BEGIN LIST VAR ups");
    for (int i = 0; i < 5000; ++i) {
        flooded.Received("VAR ups x." + std::to_string(i) + " \"1\"");
    }
    flooded.Received("VAR ups ups.load \"15\"");  // past the bound: not taken
    EXPECT_FALSE(flooded.VariablesKnown());
    EXPECT_TRUE(flooded.Values().empty());
    EXPECT_TRUE(flooded.TimedOut(kNutRequestTimeoutSeconds));

    // A new connection starts from nothing.
    EXPECT_EQ(refused.Start(50).substr(0, 9), "USERNAME ");
    EXPECT_EQ(refused.LoginState(), NutClientSession::Login::Waiting);
    EXPECT_TRUE(refused.Refusal().empty());
}

}  // namespace
}  // namespace zelto
