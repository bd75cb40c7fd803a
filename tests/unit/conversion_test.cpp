#include "core/base/conversion.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "core/base/errors.h"

namespace zelto {
namespace {

struct Accepted {
    const char* text;
    std::int32_t value;
};

TEST(Conversion, AcceptsDecimalHexBlanksAndSigns) {
    const Accepted cases[] = {
        {"0", 0},
        {"7", 7},
        {"-1", -1},
        {"+15", 15},
        {"   42", 42},
        {"007", 7},
        {"$1A", 26},
        {"x1a", 26},
        {"X1A", 26},
        {"0x10", 16},
        {"0X10", 16},
        {"-$10", -16},
        {"  +0xff", 255},
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"$7FFFFFFF", 2147483647},
        {"-0x80000000", INT32_MIN},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(StrToInt(c.text), c.value) << c.text;
    }
}

TEST(Conversion, RejectsWithTheWholeTextInTheMessage) {
    const char* rejected[] = {
        "",
        "   ",
        "-",
        "+",
        "$",
        "0x",
        "1 ",
        "1.5",
        "12a",
        "a12",
        "- 5",
        "+-1",
        "--1",
        "\t1",
        "2147483648",
        "-2147483649",
        "$80000000",
        "0x1FFFFFFFF",
        "99999999999999999999",
        "1e3",
        "٣",
    };
    for (const std::string text : rejected) {
        try {
            StrToInt(text);
            ADD_FAILURE() << "accepted '" << text << "'";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), "'" + text + "' is not a valid integer value");
        }
    }
}

TEST(Conversion, RangeCheckComesAfterTheConversion) {
    EXPECT_EQ(StrToIntInRange("65535", 0, 65535), 65535);
    EXPECT_EQ(StrToIntInRange("0", 0, 65535), 0);
    try {
        StrToIntInRange("-1", 0, 65535);
        ADD_FAILURE() << "accepted -1";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Range check error");
    }
    EXPECT_THROW(StrToIntInRange("65536", 0, 65535), Error);
    try {
        StrToIntInRange("ten", 0, 65535);
        ADD_FAILURE() << "accepted ten";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "'ten' is not a valid integer value");
    }
}

TEST(ErrorTexts, FullStopOnlyAfterCharactersSortingAfterThePoint) {
    EXPECT_EQ(MessageBoxText("Range check error"), "Range check error.");
    EXPECT_EQ(MessageBoxText("Unable to write to /tmp/x/UPSZelto.ini"),
              "Unable to write to /tmp/x/UPSZelto.ini.");
    EXPECT_EQ(MessageBoxText("'12a' is not a valid integer value"),
              "'12a' is not a valid integer value.");
    EXPECT_EQ(MessageBoxText("Invalid data type for 'COM1'"), "Invalid data type for 'COM1'");
    EXPECT_EQ(MessageBoxText("ends with (x)"), "ends with (x)");
    EXPECT_EQ(MessageBoxText("already."), "already.");
    EXPECT_EQ(MessageBoxText("digit 5"), "digit 5.");
    EXPECT_EQ(MessageBoxText(""), "");
}

}  // namespace
}  // namespace zelto
