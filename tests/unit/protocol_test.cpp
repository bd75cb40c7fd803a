#include "core/link/protocol.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "core/base/errors.h"
#include "tests/support/status_records.h"

namespace zelto {
namespace {

using fakes::BuildRecord;
using fakes::RecordFields;

std::string ErrorText(const std::function<void()>& action) {
    try {
        action();
    } catch (const Error& e) {
        return e.what();
    }
    return "no error";
}

TEST(ProtocolCommands, QueryAndBeeperAreExactBytes) {
    EXPECT_EQ(std::string(kStatusQuery), std::string("Q1\x0D"));
    EXPECT_EQ(kStatusQuery.size(), 3u);
    EXPECT_EQ(std::string(kBeeperToggle), std::string("Q\x0D"));
    EXPECT_EQ(kBeeperToggle.size(), 2u);
}

TEST(ProtocolCommands, AllTenSwitchOffCommands) {
    const struct {
        int index;
        const char* bytes;
    } cases[] = {
        {1, "S01R0000\r"}, {2, "S02R0000\r"},  {3, "S03R0000\r"}, {4, "S04R0000\r"},
        {5, "S05R0000\r"}, {6, "S06R0000\r"},  {7, "S07R0000\r"}, {8, "S08R0000\r"},
        {9, "S09R0000\r"}, {10, "S10R0000\r"},
    };
    for (const auto& c : cases) {
        const std::string command = SwitchOffCommand(c.index);
        EXPECT_EQ(command, c.bytes) << c.index;
        EXPECT_EQ(command.size(), 9u) << c.index;
    }
}

TEST(ProtocolCommands, SwitchOffOutsideTheListIsARangeError) {
    for (const int index : {-1, 0, 11, 100}) {
        EXPECT_EQ(ErrorText([index] { SwitchOffCommand(index); }), "Range check error") << index;
    }
}

TEST(StatusRecordShape, OnlyTheLengthDecides) {
    EXPECT_TRUE(IsStatusRecord(BuildRecord({})));
    EXPECT_TRUE(IsStatusRecord(std::string(47, 'x')));
    EXPECT_FALSE(IsStatusRecord(std::string(46, 'x')));
    EXPECT_FALSE(IsStatusRecord(std::string(48, 'x')));
    EXPECT_FALSE(IsStatusRecord(""));
    EXPECT_FALSE(IsStatusRecord(BuildRecord({}) + BuildRecord({})));
    EXPECT_EQ(ErrorText([] { StatusRecord record(std::string(46, 'x')); }), "Range check error");
}

TEST(StatusRecordFields, EachFieldAtItsPosition) {
    RecordFields f;
    f.mains = "231.5";
    f.input = "219.0";
    f.output = "220.4";
    f.load = "042";
    f.frequency = "49.9";
    f.battery = "12.7";
    f.temperature = "28.3";
    f.flags = "01010110";
    const StatusRecord record(BuildRecord(f));
    EXPECT_EQ(record.Char(1), '(');
    EXPECT_EQ(record.MainsVoltage(), "231.5");
    EXPECT_EQ(record.InputVoltage(), "219.0");
    EXPECT_EQ(record.OutputVoltage(), "220.4");
    EXPECT_EQ(record.LoadText(), "042");
    EXPECT_EQ(record.Frequency(), "49.9");
    EXPECT_EQ(record.BatteryVoltage(), "12.7");
    EXPECT_EQ(record.Temperature(), "28.3");
    EXPECT_EQ(record.Chars(39, 46), "01010110");
    EXPECT_EQ(record.Char(47), '\r');
    EXPECT_EQ(ErrorText([&] { record.Chars(0, 1); }), "Range check error");
    EXPECT_EQ(ErrorText([&] { record.Chars(47, 48); }), "Range check error");
}

TEST(StatusRecordFields, OnlyAOneAtPosition39MeansOnBattery) {
    const struct {
        char flag;
        bool onBattery;
    } cases[] = {{'1', true}, {'0', false}, {' ', false}, {'a', false}, {'I', false}};
    for (const auto& c : cases) {
        std::string bytes = BuildRecord({});
        bytes[38] = c.flag;
        EXPECT_EQ(StatusRecord(bytes).OnBattery(), c.onBattery) << "'" << c.flag << "'";
    }
}

TEST(StatusRecordFields, OnlyAZeroAtPosition46MeansBeeperOff) {
    const struct {
        char flag;
        bool beeperOff;
    } cases[] = {{'0', true}, {'1', false}, {' ', false}, {'x', false}};
    for (const auto& c : cases) {
        std::string bytes = BuildRecord({});
        bytes[45] = c.flag;
        EXPECT_EQ(StatusRecord(bytes).BeeperOff(), c.beeperOff) << "'" << c.flag << "'";
    }
}

TEST(StatusRecordFields, BatteryLowIsB6AndUpsFaultIsB4) {
    const struct {
        const char* flags;
        bool batteryLow;
        bool upsFault;
    } cases[] = {{"00000000", false, false}, {"01000000", true, false},  {"00010000", false, true},
                 {"01010000", true, true},   {"10101111", false, false}, {"0 0 0000", false, false},
                 {"0a0x0000", false, false}};
    for (const auto& c : cases) {
        RecordFields f;
        f.flags = c.flags;
        const StatusRecord record(BuildRecord(f));
        EXPECT_EQ(record.BatteryLow(), c.batteryLow) << c.flags;
        EXPECT_EQ(record.UpsFault(), c.upsFault) << c.flags;
    }
}

TEST(StatusRecordFields, OnBatteryWithBeeperOff) {
    RecordFields f;
    f.flags = "10000000";
    const StatusRecord record(BuildRecord(f));
    EXPECT_TRUE(record.OnBattery());
    EXPECT_TRUE(record.BeeperOff());
}

TEST(StatusRecordConversions, Load) {
    const struct {
        const char* field;
        int value;
    } cases[] = {{"015", 15}, {"000", 0},  {"100", 100}, {"120", 120},
                 {"-05", -5}, {" 15", 15}, {"$1F", 31},  {"999", 999}};
    for (const auto& c : cases) {
        RecordFields f;
        f.load = c.field;
        EXPECT_EQ(StatusRecord(BuildRecord(f)).LoadPercent(), c.value) << c.field;
    }
}

TEST(StatusRecordConversions, BadLoadNamesTheField) {
    const struct {
        const char* field;
        const char* error;
    } cases[] = {
        {"1.5", "'1.5' is not a valid integer value"},
        {"abc", "'abc' is not a valid integer value"},
        {"   ", "'   ' is not a valid integer value"},
        {"15 ", "'15 ' is not a valid integer value"},
        {"\x01\x02\x03", "'\?\?\?' is not a valid integer value"},
    };
    for (const auto& c : cases) {
        RecordFields f;
        f.load = c.field;
        const StatusRecord record(BuildRecord(f));
        EXPECT_EQ(ErrorText([&] { record.LoadPercent(); }), c.error) << c.field;
    }
}

TEST(StatusRecordConversions, BatteryInTenths) {
    const struct {
        const char* field;
        int tenths;
    } cases[] = {{"13.6", 136}, {"10.0", 100}, {"00.0", 0},   {"99.9", 999},
                 {" 9.5", 95},  {"13,6", 136}, {"13x6", 136}, {"$A.1", 101}};
    for (const auto& c : cases) {
        RecordFields f;
        f.battery = c.field;
        EXPECT_EQ(StatusRecord(BuildRecord(f)).BatteryTenths(), c.tenths) << c.field;
    }
}

TEST(StatusRecordConversions, BadBatteryNamesThePartThatFailed) {
    const struct {
        const char* field;
        const char* error;
    } cases[] = {
        {"1.25", "'1.' is not a valid integer value"},
        {"ab.c", "'ab' is not a valid integer value"},
        {"13.x", "'x' is not a valid integer value"},
        {"13. ", "' ' is not a valid integer value"},
        {"-1.0", "Range check error"},
        {"-9.9", "Range check error"},
        {"\x7f\x80.5", "'\?\?' is not a valid integer value"},
    };
    for (const auto& c : cases) {
        RecordFields f;
        f.battery = c.field;
        const StatusRecord record(BuildRecord(f));
        EXPECT_EQ(ErrorText([&] { record.BatteryTenths(); }), c.error) << c.field;
    }
}

TEST(SafeTextTest, KeepsPrintableAsciiAndMarksTheRest) {
    EXPECT_EQ(SafeText("228.0 ~!"), "228.0 ~!");
    EXPECT_EQ(SafeText(std::string("\x00\x1f\x7f\x80\xff", 5)), "?????");
    EXPECT_EQ(SafeText("\xd0\x9f"), "??");  // a UTF-8 letter from the line is not trusted
    EXPECT_EQ(SafeText("1\r2\n3\t"), "1?2?3?");
    EXPECT_EQ(SafeText(""), "");
}

}  // namespace
}  // namespace zelto
