// The tray tip limit: at most 63 characters, never half a character.

#include <gtest/gtest.h>

#include <string>

#include "core/monitor/tray_tip_limit.h"

namespace zelto {
namespace {

// Characters, counting each UTF-8 lead byte (or leading stray continuation byte) once.
std::size_t CountCharacters(const std::string& text) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i == 0 || (static_cast<unsigned char>(text[i]) & 0xC0u) != 0x80u) {
            ++count;
        }
    }
    return count;
}

std::string Repeat(const std::string& piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) {
        text += piece;
    }
    return text;
}

struct LimitCase {
    const char* name;
    std::string tip;
    std::string expected;
};

class LimitTrayTipTable : public ::testing::TestWithParam<LimitCase> {};

TEST_P(LimitTrayTipTable, KeepsAtMost63Characters) {
    const LimitCase& c = GetParam();
    const std::string limited = LimitTrayTip(c.tip);
    EXPECT_EQ(limited, c.expected);
    EXPECT_LE(CountCharacters(limited), 63u);
}

INSTANTIATE_TEST_SUITE_P(
    Tips, LimitTrayTipTable,
    ::testing::Values(
        LimitCase{"Empty", "", ""},
        LimitCase{"ProgramsOwnLongestTip", "Питание от сети. Заряд батареи: 100%",
                  "Питание от сети. Заряд батареи: 100%"},
        LimitCase{"Ascii62", Repeat("a", 62), Repeat("a", 62)},
        LimitCase{"Ascii63", Repeat("a", 63), Repeat("a", 63)},
        LimitCase{"Ascii64", Repeat("a", 64), Repeat("a", 63)},
        LimitCase{"Ascii200", Repeat("b", 200), Repeat("b", 63)},
        // 63 Cyrillic letters are 126 bytes: all kept, as the limit counts characters.
        LimitCase{"Cyrillic63", Repeat("ж", 63), Repeat("ж", 63)},
        LimitCase{"Cyrillic64", Repeat("ж", 64), Repeat("ж", 63)},
        // The cut falls just before a two-byte letter: no stray lead byte stays behind.
        LimitCase{"CutBeforeTwoByteLetter", Repeat("a", 63) + "ж", Repeat("a", 63)},
        LimitCase{"MixedCutInside", Repeat("aж", 40), Repeat("aж", 31) + "a"},
        // Four-byte characters stay whole as well.
        LimitCase{"FourByte64", Repeat("\xF0\x9F\x94\x8B", 64), Repeat("\xF0\x9F\x94\x8B", 63)},
        // A stray continuation byte at the start counts as a character of its own.
        LimitCase{"StrayContinuationFirst", "\x80" + Repeat("a", 63), "\x80" + Repeat("a", 62)}),
    [](const ::testing::TestParamInfo<LimitCase>& info) { return info.param.name; });

}  // namespace
}  // namespace zelto
