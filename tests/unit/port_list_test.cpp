#include "core/link/port_list.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace zelto {
namespace {

std::vector<std::string> Names(const std::vector<PortEntry>& ports) {
    std::vector<std::string> names;
    for (const auto& port : ports) {
        names.push_back(port.name);
    }
    return names;
}

std::vector<PortEntry> SystemPortsNamed(const std::vector<std::string>& names) {
    std::vector<PortEntry> ports;
    for (const auto& name : names) {
        ports.push_back(PortEntry{name, "/dev/" + name});
    }
    return ports;
}

struct SortCase {
    const char* what;
    std::vector<std::string> given;
    std::vector<std::string> listed;
};

TEST(PortList, SystemPortsAreSortedLikeASortedListBox) {
    const SortCase cases[] = {
        {"windows names", {"COM2", "COM10", "COM1"}, {"COM1", "COM10", "COM2"}},
        {"no numeric order",
         {"COM3", "COM21", "COM200", "COM1"},
         {"COM1", "COM200", "COM21", "COM3"}},
        {"linux names",
         {"ttyUSB0", "ttyS10", "ttyS2", "ttyS1", "ttyS0"},
         {"ttyS0", "ttyS1", "ttyS10", "ttyS2", "ttyUSB0"}},
        {"case ignored", {"comB", "COMa", "Coma2"}, {"COMa", "Coma2", "comB"}},
        {"shorter prefix first", {"ttyS10", "ttyS1", "tty"}, {"tty", "ttyS1", "ttyS10"}},
        {"digits before letters",
         {"ttyA", "tty9", "ttyz", "tty0"},
         {"tty0", "tty9", "ttyA", "ttyz"}},
        {"punctuation before digits", {"tty1", "tty_1", "tty.1"}, {"tty.1", "tty_1", "tty1"}},
        {"already sorted", {"COM1", "COM2"}, {"COM1", "COM2"}},
        {"empty table", {}, {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Names(BuildPortList(SystemPortsNamed(c.given), std::nullopt)), c.listed)
            << c.what;
    }
}

TEST(PortList, SystemEntriesKeepTheirPaths) {
    const auto ports = BuildPortList(
        {PortEntry{"ttyS1", "/dev/ttyS1"}, PortEntry{"ttyACM0", "/dev/ttyACM0"}}, std::nullopt);
    const std::vector<PortEntry> expected = {PortEntry{"ttyACM0", "/dev/ttyACM0"},
                                             PortEntry{"ttyS1", "/dev/ttyS1"}};
    EXPECT_EQ(ports, expected);
}

TEST(PortList, EqualNamesKeepTheSystemOrder) {
    const auto ports = BuildPortList(
        {PortEntry{"COM1", "/first"}, PortEntry{"com1", "/second"}, PortEntry{"COM1", "/third"}},
        std::nullopt);
    ASSERT_EQ(ports.size(), 3u);
    EXPECT_EQ(ports[0].path, "/first");
    EXPECT_EQ(ports[1].path, "/second");
    EXPECT_EQ(ports[2].path, "/third");
}

struct SettingCase {
    const char* what;
    std::string setting;
    std::vector<std::string> listed;
};

TEST(PortList, PortsSettingReplacesTheSystemTable) {
    const SettingCase cases[] = {
        {"one path", "/tmp/ups0", {"/tmp/ups0"}},
        {"sorted", "/tmp/ups2;/tmp/ups10;/tmp/ups1", {"/tmp/ups1", "/tmp/ups10", "/tmp/ups2"}},
        {"blanks trimmed", "  /tmp/a ;\t/tmp/b\t", {"/tmp/a", "/tmp/b"}},
        {"empty pieces dropped", ";/tmp/a;;  ;/tmp/b;", {"/tmp/a", "/tmp/b"}},
        {"inner blanks kept", "/tmp/my port", {"/tmp/my port"}},
        {"shown as written", "/TMP/B;/tmp/a", {"/tmp/a", "/TMP/B"}},
        {"duplicates kept", "/tmp/a;/tmp/a", {"/tmp/a", "/tmp/a"}},
        {"empty setting gives no ports", "", {}},
        {"only separators give no ports", " ; ;", {}},
    };
    for (const auto& c : cases) {
        const auto ports = BuildPortList(SystemPortsNamed({"ttyS0", "ttyS1"}), c.setting);
        EXPECT_EQ(Names(ports), c.listed) << c.what;
        for (const auto& port : ports) {
            EXPECT_EQ(port.name, port.path) << c.what;
        }
    }
}

TEST(PortList, NameOrderIsStrictAndCaseBlind) {
    EXPECT_TRUE(PortNameLess("COM1", "COM10"));
    EXPECT_TRUE(PortNameLess("COM10", "COM2"));
    EXPECT_FALSE(PortNameLess("COM2", "COM10"));
    EXPECT_FALSE(PortNameLess("com1", "COM1"));
    EXPECT_FALSE(PortNameLess("COM1", "com1"));
    EXPECT_FALSE(PortNameLess("COM1", "COM1"));
}

}  // namespace
}  // namespace zelto
