// The settings file when it is not what the program wrote: binary bytes, odd line ends, a
// byte-order mark, duplicates, values too long for the reader, a file that cannot be read or
// written, a directory that is gone. Each case reads the right value or the default, and a write
// changes only its own line.

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "core/base/errors.h"
#include "core/base/settings.h"
#include "tests/support/core_fakes.h"
#include "tests/support/settings_write.h"

namespace zelto {
namespace {

using fakes::FakeSettingsStore;

const std::string kPath = "/fake/work/UPSZelto.ini";

// A store whose file exists but cannot be read, as a file without read permission.
class UnreadableFileStore : public FakeSettingsStore {
public:
    std::optional<std::string> ReadFile(const std::string&) override { return std::nullopt; }
    bool Exists(const std::string& path) override { return path == kPath; }
};

struct FileCase {
    const char* name;
    std::string before;
    const char* key;
    const char* read;  // what the key reads before the write; nullptr: the default
    const char* value;
    std::string after;
};

// Reads the key, writes it, and compares the whole file byte for byte.
void CheckCases(const FileCase* begin, const FileCase* end) {
    for (const FileCase* c = begin; c != end; ++c) {
        FakeSettingsStore store;
        Settings settings(store);
        store.files[kPath] = c->before;
        EXPECT_EQ(settings.ReadSetting("UPS", c->key, "default"), c->read ? c->read : "default")
            << c->name;
        settings.WriteSetting("UPS", c->key, c->value);
        EXPECT_EQ(store.files[kPath], c->after) << c->name;
        EXPECT_EQ(settings.ReadSetting("UPS", c->key, "default"), c->value) << c->name;
    }
}

TEST(SettingsRobustness, BinaryBytesReadRightAndSurviveAWrite) {
    using namespace std::string_literals;
    const FileCase cases[] = {
        {"NUL bytes and invalid UTF-8 around the section",
         "\0\xFF\xFE garbage\n[UPS]\nCompOff=2\nbad\xC3=\0\x80\n"s, "CompOff", "2", "5",
         "\0\xFF\xFE garbage\n[UPS]\nCompOff=5\nbad\xC3=\0\x80\n"s},
        {"a NUL in the key's name makes it another key", "[UPS]\nComp\0Off=1\n"s, "CompOff",
         nullptr, "3", "[UPS]\nComp\0Off=1\nCompOff=3\n"s},
        {"a value with binary bytes is read as it stands", "[UPS]\nCOMPort=\x01\xFF\n"s, "COMPort",
         "\x01\xFF", "0", "[UPS]\nCOMPort=0\n"},
        {"pure noise without a section gets the section after it", "\x89PNG\r\n\x1A\n\0\0"s,
         "OffUPS", nullptr, "2", "\x89PNG\r\n\x1A\n\0\0\r\n[UPS]\r\nOffUPS=2\r\n"s},
        {"a lone CR inside a line does not end it", "[UPS]\rCompOff=1\nOffUPS=2\n", "OffUPS", "2",
         "4", "[UPS]\rCompOff=1\nOffUPS=4\n"},
    };
    CheckCases(std::begin(cases), std::end(cases));
}

// A file cut short after the CR of its last line: adding a key must not leave that CR inside the
// line, where it became part of the value ("3\r" is no integer).
TEST(SettingsRobustness, ALastLineEndingInALoneCrKeepsItsValue) {
    const FileCase cases[] = {
        {"key added after it", "[UPS]\r\nOffUPS=3\r", "CompOff", nullptr, "1",
         "[UPS]\r\nOffUPS=3\r\nCompOff=1\r\n"},
        {"section added after it", "[Other]\r\nx=y\r", "COMPort", nullptr, "0",
         "[Other]\r\nx=y\r\n[UPS]\r\nCOMPort=0\r\n"},
        {"in an LF file too", "[UPS]\nOffUPS=3\r", "CompOff", nullptr, "1",
         "[UPS]\nOffUPS=3\r\nCompOff=1\n"},
    };
    CheckCases(std::begin(cases), std::end(cases));

    FakeSettingsStore store;
    Settings settings(store);
    store.files[kPath] = "[UPS]\r\nOffUPS=3\r";
    settings.WriteSetting("UPS", "CompOff", "1");
    EXPECT_EQ(settings.ReadInt("OffUPS", "0"), 3);
}

TEST(SettingsRobustness, ByteOrderMarkAndLineEnds) {
    const FileCase cases[] = {
        {"byte-order mark before the section", "\xEF\xBB\xBF[UPS]\r\nCompOff=4\r\n", "CompOff", "4",
         "1", "\xEF\xBB\xBF[UPS]\r\nCompOff=1\r\n"},
        {"byte-order mark alone", "\xEF\xBB\xBF", "CompOff", nullptr, "1",
         "\xEF\xBB\xBF\n[UPS]\nCompOff=1\n"},
        {"byte-order mark further on is just bytes of a line",
         "[UPS]\n\xEF\xBB\xBF"
         "CompOff=4\n",
         "CompOff", nullptr, "1",
         "[UPS]\n\xEF\xBB\xBF"
         "CompOff=4\nCompOff=1\n"},
        {"CRLF file, new key in CRLF", "[UPS]\r\nCompOff=4\r\n\r\n[Other]\r\n", "OffUPS", nullptr,
         "9", "[UPS]\r\nCompOff=4\r\nOffUPS=9\r\n\r\n[Other]\r\n"},
        {"mixed: the first line end sets the new line's", "[UPS]\r\nCompOff=4\nOffMethod=1\r\n",
         "OffUPS", nullptr, "9", "[UPS]\r\nCompOff=4\nOffMethod=1\r\nOffUPS=9\r\n"},
        {"mixed: an LF-first file adds LF lines", "[UPS]\nCompOff=4\r\n", "OffUPS", nullptr, "9",
         "[UPS]\nCompOff=4\r\nOffUPS=9\n"},
        {"replacing keeps the line's own CRLF in an LF file", "[UPS]\nCompOff=4\r\nx=1\n",
         "CompOff", "4", "2", "[UPS]\nCompOff=2\r\nx=1\n"},
        {"no line end at all", "[UPS]", "CompOff", nullptr, "1", "[UPS]\nCompOff=1\n"},
        {"CR-only file is one long line", "[Other]\rx=1\r", "CompOff", nullptr, "1",
         "[Other]\rx=1\r\n[UPS]\nCompOff=1\n"},
    };
    CheckCases(std::begin(cases), std::end(cases));
}

TEST(SettingsRobustness, DuplicateSectionsAndKeys) {
    const FileCase cases[] = {
        {"the first of two keys is read and written", "[UPS]\nCompOff=1\ncompoff=2\n", "CompOff",
         "1", "3", "[UPS]\nCompOff=3\ncompoff=2\n"},
        {"the first of two sections, in any case", "[ups]\nOffUPS=1\n[UPS]\nCompOff=2\n", "CompOff",
         nullptr, "4", "[ups]\nOffUPS=1\nCompOff=4\n[UPS]\nCompOff=2\n"},
        {"a key of the second section is never read", "[UPS]\n[UPS]\nCompOff=2\n", "CompOff",
         nullptr, "4", "[UPS]\nCompOff=4\n[UPS]\nCompOff=2\n"},
    };
    CheckCases(std::begin(cases), std::end(cases));
}

TEST(SettingsRobustness, ValuesLongerThanTheReaderBufferAreCut) {
    FakeSettingsStore store;
    Settings settings(store);
    const std::string digits(5000, '7');
    store.files[kPath] = "[UPS]\nOFFAfter=" + digits + "\nCompOff=1\n";
    EXPECT_EQ(settings.ReadSetting("UPS", "OFFAfter", "10"), digits.substr(0, 2047));
    try {
        settings.ReadInt("OFFAfter", "10");
        ADD_FAILURE() << "a 2047-digit value was accepted";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()),
                  "'" + digits.substr(0, 2047) + "' is not a valid integer value");
    }
    // A write elsewhere keeps the whole long value, not the cut one.
    settings.WriteSetting("UPS", "CompOff", "2");
    EXPECT_EQ(store.files[kPath], "[UPS]\nOFFAfter=" + digits + "\nCompOff=2\n");
}

TEST(SettingsRobustness, LargeFileReadsItsKeysButIsNeverRewritten) {
    FakeSettingsStore store;
    Settings settings(store);
    // The key at the end still reads, and the write is refused saying why.
    const std::string text = std::string(8 * 1024 * 1024, ';') + "\n[UPS]\nCompOff=6\n";
    store.files[kPath] = text;
    EXPECT_EQ(settings.ReadInt("CompOff", "0"), 6);
    EXPECT_EQ(test::WriteError(settings, "OffUPS", "1"),
              kPath + " is too large (8388625 bytes) to be rewritten safely");
    // Compared as a truth: a failure must not print megabytes.
    EXPECT_TRUE(store.files[kPath] == text);
    EXPECT_EQ(store.writes, 0);
}

TEST(SettingsRobustness, AFileThatExistsButCannotBeReadIsNeverReplaced) {
    UnreadableFileStore store;
    Settings settings(store);
    EXPECT_EQ(settings.ReadSetting("UPS", "CompOff", "0"), "0");
    EXPECT_EQ(test::WriteError(settings, "CompOff", "1"), "Unable to write to " + kPath);
    EXPECT_EQ(store.writes, 0);
}

TEST(SettingsRobustness, ARefusedWriteLeavesTheFileAsItWas) {
    FakeSettingsStore store;
    Settings settings(store);
    store.files[kPath] = "[UPS]\r\nCompOff=1\r\n";
    store.refuseWrites = true;
    try {
        settings.WriteSetting("UPS", "CompOff", "2");
        ADD_FAILURE() << "the write went through";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + kPath);
    }
    EXPECT_EQ(store.files[kPath], "[UPS]\r\nCompOff=1\r\n");
    EXPECT_EQ(settings.ReadInt("CompOff", "0"), 1);
}

// A store that cannot name the current directory (it was removed) reports it as empty.
TEST(SettingsRobustness, AVanishedDirectoryIsNamedAsTheCurrentOne) {
    FakeSettingsStore store;
    store.directory = "";
    Settings settings(store);
    EXPECT_EQ(settings.FilePath(), "./UPSZelto.ini");
    EXPECT_EQ(settings.ReadInt("OFFAfter", "10"), 10);
    store.refuseWrites = true;
    try {
        settings.WriteSetting("UPS", "COMPort", "0");
        ADD_FAILURE() << "the write went through";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Unable to write to ./UPSZelto.ini");
    }
}

// The store gives the path rules: on Windows a backslash joins the directory and the name, and a
// file the program creates gets CRLF lines, while a file that is there keeps its own.
TEST(SettingsRobustness, TheStoreGivesTheSeparatorAndTheNewFileLineEnd) {
    struct Case {
        const char* name;
        const char* directory;
        char separator;
        const char* lineEnd;
        const char* path;
        const char* before;  // nullptr: no file yet
        const char* after;
    };
    const Case cases[] = {
        {"Linux, new file", "/home/a", '/', "\n", "/home/a/UPSZelto.ini", nullptr,
         "[UPS]\nCOMPort=0\n"},
        {"Windows, new file", "C:\\Users\\a", '\\', "\r\n", "C:\\Users\\a\\UPSZelto.ini", nullptr,
         "[UPS]\r\nCOMPort=0\r\n"},
        {"Windows, drive root", "D:\\", '\\', "\r\n", "D:\\UPSZelto.ini", nullptr,
         "[UPS]\r\nCOMPort=0\r\n"},
        {"Windows, an LF file stays LF", "C:\\x", '\\', "\r\n", "C:\\x\\UPSZelto.ini",
         "[UPS]\nCompOff=1\n", "[UPS]\nCompOff=1\nCOMPort=0\n"},
        {"Linux, a CRLF file stays CRLF", "/x", '/', "\n", "/x/UPSZelto.ini",
         "[UPS]\r\nCompOff=1\r\n", "[UPS]\r\nCompOff=1\r\nCOMPort=0\r\n"},
        {"Windows, a file without a line end yet", "C:\\x", '\\', "\r\n", "C:\\x\\UPSZelto.ini",
         "[UPS]", "[UPS]\r\nCOMPort=0\r\n"},
    };
    for (const auto& c : cases) {
        FakeSettingsStore store;
        store.directory = c.directory;
        store.separator = c.separator;
        store.lineEnd = c.lineEnd;
        if (c.before != nullptr) {
            store.files[c.path] = c.before;
        }
        Settings settings(store);
        EXPECT_EQ(settings.FilePath(), c.path) << c.name;
        settings.WriteSetting("UPS", "COMPort", "0");
        EXPECT_EQ(store.files[c.path], c.after) << c.name;
        EXPECT_EQ(store.files.size(), 1u) << c.name;
    }
}

}  // namespace
}  // namespace zelto
