#include "core/base/ini_text.h"

#include <gtest/gtest.h>

namespace zelto {
namespace {

TEST(IniRead, NamesMatchWithoutCaseAndTheFirstDuplicateWins) {
    const char* text =
        "; our settings\n"
        "[Other]\n"
        "CompOff=5\n"
        "[ups]\n"
        "compoff = 3 \n"
        "CompOff=4\n"
        "[UPS]\n"
        "OffMethod=2\n";
    EXPECT_EQ(IniFind(text, "UPS", "CompOff"), "3");
    EXPECT_EQ(IniFind(text, "Other", "COMPOFF"), "5");
    // The second [UPS] section is never looked at.
    EXPECT_EQ(IniFind(text, "UPS", "OffMethod"), std::nullopt);
    EXPECT_EQ(IniFind(text, "Missing", "CompOff"), std::nullopt);
}

TEST(IniRead, EmptyValuesLineEndsQuotesAndOddLines) {
    const char* text =
        "\xEF\xBB\xBF[UPS]\r\n"
        "OFFAfter=\r\n"
        "COMPort=  \"2\"  \r\n"
        "Ports='/dev/a;/dev/b'\r\n"
        "no equals sign here\r\n"
        "  OffUPS\t=\t7\r\n"
        "[Next]";
    EXPECT_EQ(IniFind(text, "UPS", "OFFAfter"), "");
    EXPECT_EQ(IniFind(text, "UPS", "COMPort"), "2");
    EXPECT_EQ(IniFind(text, "UPS", "Ports"), "/dev/a;/dev/b");
    EXPECT_EQ(IniFind(text, "UPS", "OffUPS"), "7");
    EXPECT_EQ(IniFind(text, "UPS", "no equals sign here"), std::nullopt);
    // A key above every section belongs to none.
    EXPECT_EQ(IniFind("CompOff=1\n[UPS]\n", "UPS", "CompOff"), std::nullopt);
    EXPECT_EQ(IniFind("", "UPS", "CompOff"), std::nullopt);
}

struct WriteCase {
    const char* name;
    const char* before;
    const char* key;
    const char* value;
    const char* after;
};

TEST(IniWrite, ChangesOnlyItsOwnLineOrAddsOne) {
    const WriteCase cases[] = {
        {"new file", "", "COMPort", "-1", "[UPS]\nCOMPort=-1\n"},
        {"replace keeps the rest byte for byte",
         "; keep me\r\n[UPS]\r\nCompOff=1 ; old\r\nOffUPS=3\r\n\r\n[Other]\r\nx=y\r\n", "compoff",
         "6", "; keep me\r\n[UPS]\r\nCompOff=6\r\nOffUPS=3\r\n\r\n[Other]\r\nx=y\r\n"},
        {"added at the end of its section, before the blank lines",
         "[UPS]\nCompOff=1\n\n[Other]\nx=y\n", "OffUPS", "2",
         "[UPS]\nCompOff=1\nOffUPS=2\n\n[Other]\nx=y\n"},
        {"section added after a last line without an end", "[Other]\nx=y", "COMPort", "0",
         "[Other]\nx=y\n[UPS]\nCOMPort=0\n"},
        {"CRLF file keeps CRLF", "[Other]\r\nx=y\r\n", "COMPort", "0",
         "[Other]\r\nx=y\r\n[UPS]\r\nCOMPort=0\r\n"},
        {"first of duplicate keys changes", "[UPS]\nCOMPort=1\nCOMPort=2\n", "COMPort", "3",
         "[UPS]\nCOMPort=3\nCOMPort=2\n"},
        {"section header as the last line", "[UPS]", "CompOff", "1", "[UPS]\nCompOff=1\n"},
        {"byte-order mark kept", "\xEF\xBB\xBF[UPS]\nCompOff=1\n", "CompOff", "2",
         "\xEF\xBB\xBF[UPS]\nCompOff=2\n"},
    };
    for (const auto& c : cases) {
        const std::string after = IniSet(c.before, "UPS", c.key, c.value, "\n");
        EXPECT_EQ(after, c.after) << c.name;
        EXPECT_EQ(IniFind(after, "UPS", c.key), c.value) << c.name;
    }
}

TEST(IniWrite, NewLinesEndAsTheTextsOwnOrAsTheSystemsInANewFile) {
    struct Case {
        const char* before;
        const char* systemLineEnd;
        const char* after;
    };
    const Case cases[] = {
        {"", "\r\n", "[UPS]\r\nCOMPort=0\r\n"},
        {"", "\n", "[UPS]\nCOMPort=0\n"},
        {"[UPS]", "\r\n", "[UPS]\r\nCOMPort=0\r\n"},
        {"[UPS]\nCompOff=1\n", "\r\n", "[UPS]\nCompOff=1\nCOMPort=0\n"},
        {"[UPS]\r\nCompOff=1\r\n", "\n", "[UPS]\r\nCompOff=1\r\nCOMPort=0\r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IniSet(c.before, "UPS", "COMPort", "0", c.systemLineEnd), c.after)
            << "before: " << c.before;
    }
}

}  // namespace
}  // namespace zelto
