// The settings reader and writer on any text: reading never fails, a written key reads back, and
// the write keeps every other line byte for byte, in order, and every other key's value.
//
// Input: byte 0 picks the key (and now and then another section), bytes 1-4 the value; the rest
// is the file's text.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/base/conversion.h"
#include "core/base/errors.h"
#include "core/base/ini_text.h"
#include "core/base/settings.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/support/core_fakes.h"

namespace {

constexpr std::array<std::string_view, 7> kKeys = {"CompOff", "OffMethod", "OffUPS", "OFFAfter",
                                                   "COMPort", "Ports",     "compoff"};
constexpr std::array<std::string_view, 3> kSections = {"UPS", "ups", "Other"};

void Fail(const char* what, std::string_view text) {
    std::fprintf(stderr, "fuzz_settings: %s; text of %zu bytes:\n", what, text.size());
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fprintf(stderr, "\n");
    std::abort();
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

// Whether the line sets the key: its text before "=", blanks trimmed, is the key's name.
bool IsKeyLine(std::string_view line, std::string_view key) {
    const auto eq = line.find('=');
    if (eq == std::string_view::npos) {
        return false;
    }
    std::string_view name = line.substr(0, eq);
    while (!name.empty() && (name.front() == ' ' || name.front() == '\t')) {
        name.remove_prefix(1);
    }
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) {
        name.remove_suffix(1);
    }
    return SameName(name, key);
}

// `after` is `before` with one change in one place: the key's own line replaced, or the key's
// line added (with its section line when the section was missing). Every other line is kept,
// byte for byte and in order.
void CheckLinesKept(std::string_view before, std::string_view after, std::string_view key) {
    const auto old = zelto::fuzz::Lines(before);
    const auto now = zelto::fuzz::Lines(after);
    std::size_t same = 0;
    while (same < old.size() && same < now.size() && old[same] == now[same]) {
        ++same;
    }
    std::size_t sameEnd = 0;
    while (sameEnd < old.size() - same && sameEnd < now.size() - same &&
           old[old.size() - 1 - sameEnd] == now[now.size() - 1 - sameEnd]) {
        ++sameEnd;
    }
    const std::size_t removed = old.size() - same - sameEnd;
    const std::size_t added = now.size() - same - sameEnd;
    if (removed > 1 || (removed == 1 && !IsKeyLine(old[same], key))) {
        Fail("a line other than the key's own was lost or changed", before);
    }
    if (added > 2 || (removed == 1 && added != 1)) {
        Fail("the write added other lines than the key's and its section's", before);
    }
    for (std::size_t i = same; i < same + added; ++i) {
        if (!IsKeyLine(now[i], key) && (now[i].empty() || now[i].front() != '[')) {
            Fail("the write added a line that is neither the key's nor a section's", before);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 5) {
        return 0;
    }
    const std::size_t keyIndex = data[0] % kKeys.size();
    const std::string_view key = kKeys[keyIndex];
    const std::string_view section = kSections[(data[0] / kKeys.size()) % kSections.size()];
    const auto number =
        static_cast<std::int32_t>(std::uint32_t(data[1]) | std::uint32_t(data[2]) << 8 |
                                  std::uint32_t(data[3]) << 16 | std::uint32_t(data[4]) << 24);
    const std::string value = key == "Ports" ? "/dev/ttyUSB" + std::to_string(data[1]) + ";/dev/ups"
                                             : std::to_string(number);
    const std::string_view text(reinterpret_cast<const char*>(data) + 5, size - 5);

    // Reading: any key in any section, and the conversion that every caller applies.
    std::array<std::optional<std::string>, kKeys.size()> valuesBefore;
    for (std::size_t i = 0; i < kKeys.size(); ++i) {
        valuesBefore[i] = zelto::IniFind(text, section, kKeys[i]);
        if (valuesBefore[i]) {
            try {
                zelto::StrToInt(*valuesBefore[i]);
            } catch (const zelto::Error&) {
            }
        }
    }
    const auto otherSection = zelto::IniFind(text, "Other", "x");

    // Writing, then reading again.
    const std::string after = zelto::IniSet(text, section, key, value, "\n");
    if (zelto::IniFind(after, section, key) != value) {
        Fail("the written key does not read back", text);
    }
    for (std::size_t i = 0; i < kKeys.size(); ++i) {
        if (!SameName(kKeys[i], key) &&
            zelto::IniFind(after, section, kKeys[i]) != valuesBefore[i]) {
            Fail("another key's value changed", text);
        }
    }
    if (!SameName(section, "Other") && zelto::IniFind(after, "Other", "x") != otherSection) {
        Fail("a key of another section changed", text);
    }
    CheckLinesKept(text, after, key);

    // The same through the settings file, where values are cut to the reader's buffer.
    zelto::fakes::FakeSettingsStore store;
    zelto::Settings settings(store);
    store.files[settings.FilePath()] = std::string(text);
    const std::string read = settings.ReadSetting(section, key, "default");
    const std::string expected =
        valuesBefore[keyIndex] ? valuesBefore[keyIndex]->substr(0, 2047) : "default";
    if (read != expected) {
        Fail("ReadSetting gave other than the value cut to its buffer, or the default", text);
    }
    settings.WriteSetting(section, key, value);
    if (store.files[settings.FilePath()] != after) {
        Fail("WriteSetting wrote other text than IniSet", text);
    }
    if (settings.ReadSetting(section, key, "default") != value) {
        Fail("the written setting does not read back", text);
    }
    return 0;
}
