// QtComPort against the UPS simulator's pseudo-terminal: the real QSerialPort, the real kernel
// line, never a real serial port.
#include "qt/qt_com_port.h"

#include <grp.h>
#include <signal.h>
#include <sys/fsuid.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "qt/qt_port_table.h"
#include "support/event_pump.h"
#include "support/file_access_as.h"
#include "support/pty_sim.h"

namespace zelto {
namespace {

using test::FileAccessAs;

using namespace std::chrono_literals;
using test::RunEventLoop;
using Clock = std::chrono::steady_clock;
using test::PtySim;

const std::string kQuery = "Q1\r";
const std::string kRecord = "(228.0 228.0 228.0 015 50.0 13.6 35.0 00001001\r";

long Millis(Clock::duration time) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(time).count());
}

// CPU time this process has used, all threads.
std::chrono::microseconds CpuTime() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = usage.ru_utime.tv_sec + usage.ru_stime.tv_sec;
    const auto micros = usage.ru_utime.tv_usec + usage.ru_stime.tv_usec;
    return std::chrono::seconds(seconds) + std::chrono::microseconds(micros);
}

// Polls the port without an event loop until `count` bytes wait or the time is up; the time
// it took, or nothing.
std::optional<Clock::duration> WaitForInput(QtComPort& port, std::size_t count,
                                            std::chrono::milliseconds limit) {
    const auto start = Clock::now();
    while (Clock::now() - start < limit) {
        if (port.ComInputCount() >= count) {
            return Clock::now() - start;
        }
        std::this_thread::sleep_for(2ms);
    }
    return std::nullopt;
}

class QtComPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim_.Start()) << sim_.Output();
        ASSERT_EQ(port_.ComOpen(sim_.LinkPath(), 2400), OpenResult::Opened);
    }

    PtySim sim_;
    QtComPort port_;
};

TEST_F(QtComPortTest, OpensAPseudoTerminalAlthoughItHasNoModemLines) {
    EXPECT_TRUE(port_.IsOpen());
    EXPECT_EQ(port_.ComInputCount(), 0u);
}

TEST_F(QtComPortTest, QueryIsAnsweredWithOneRecordWithinThreeHundredMilliseconds) {
    EXPECT_EQ(port_.ComWrite(kQuery), 3u);
    const auto answered = WaitForInput(port_, 47, 600ms);
    ASSERT_TRUE(answered.has_value());
    EXPECT_LT(Millis(*answered), 300);
    std::this_thread::sleep_for(50ms);
    ASSERT_EQ(port_.ComInputCount(), 47u);
    EXPECT_EQ(port_.ComRead(47), kRecord);
    EXPECT_EQ(port_.ComInputCount(), 0u);
    EXPECT_EQ(sim_.Commands(), std::vector<std::string>{"Q1"});
}

TEST_F(QtComPortTest, AnswerArrivesWhileTheEventLoopRunsBetweenTicks) {
    port_.ComWrite(kQuery);
    RunEventLoop(400ms);
    ASSERT_EQ(port_.ComInputCount(), 47u);
    EXPECT_EQ(port_.ComRead(47), kRecord);
}

TEST_F(QtComPortTest, ReadTakesOnlyWhatWasAskedFor) {
    port_.ComWrite(kQuery);
    ASSERT_TRUE(WaitForInput(port_, 47, 600ms));
    EXPECT_EQ(port_.ComRead(10), kRecord.substr(0, 10));
    EXPECT_EQ(port_.ComInputCount(), 37u);
    EXPECT_EQ(port_.ComRead(100), kRecord.substr(10));
    EXPECT_EQ(port_.ComRead(5), "");
}

TEST_F(QtComPortTest, InputCountNeverWaitsForTheDevice) {
    ASSERT_TRUE(sim_.Send("silent on"));
    port_.ComWrite(kQuery);
    for (int i = 0; i < 50; ++i) {
        const auto start = Clock::now();
        EXPECT_EQ(port_.ComInputCount(), 0u);
        EXPECT_LT(Millis(Clock::now() - start), 20);
    }
}

TEST_F(QtComPortTest, WritesDoNotWaitForAStalledDevice) {
    ::kill(sim_.Pid(), SIGSTOP);
    const auto start = Clock::now();
    // Far more than the pseudo-terminal holds: later writes can only be buffered.
    for (int i = 0; i < 20000; ++i) {
        port_.ComWrite(kQuery);
    }
    const auto took = Clock::now() - start;
    ::kill(sim_.Pid(), SIGCONT);
    EXPECT_LT(Millis(took), 2000);
    EXPECT_TRUE(port_.IsOpen());
}

TEST_F(QtComPortTest, PurgeDropsAnswersAlreadyRead) {
    port_.ComWrite(kQuery);
    ASSERT_TRUE(WaitForInput(port_, 47, 600ms));
    port_.ComPurgeInput();
    EXPECT_EQ(port_.ComInputCount(), 0u);
    port_.ComWrite(kQuery);
    ASSERT_TRUE(WaitForInput(port_, 47, 600ms));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(port_.ComRead(100), kRecord);
}

TEST_F(QtComPortTest, PurgeDropsAnswersStillInTheDriver) {
    port_.ComWrite(kQuery);
    std::this_thread::sleep_for(350ms);  // answered, but nobody has looked yet
    port_.ComPurgeInput();
    EXPECT_EQ(port_.ComInputCount(), 0u);
}

TEST_F(QtComPortTest, BeeperAndSwitchOffCommandsReachTheDevice) {
    EXPECT_EQ(port_.ComWrite("Q\r"), 2u);
    EXPECT_EQ(port_.ComWrite("S05R0000\r"), 9u);
    ASSERT_TRUE(sim_.WaitForOutput("switch-off in 05 min"));
    EXPECT_EQ(sim_.Commands(), (std::vector<std::string>{"Q", "S05R0000"}));
}

TEST(QtComPortOpen, MissingPortIsToldAsMissingAndStaysClosed) {
    QtComPort port;
    EXPECT_EQ(port.ComOpen("/nonexistent/zelto/ups", 2400), OpenResult::Missing);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.ComInputCount(), 0u);
    EXPECT_EQ(port.ComWrite(kQuery), 0u);
    EXPECT_EQ(port.ComRead(47), "");
    port.ComPurgeInput();
    EXPECT_EQ(port.ComOpen("", 2400), OpenResult::Failed);
    EXPECT_FALSE(port.IsOpen());
}

TEST(QtComPortOpen, FailedOpenClosesThePortOpenBefore) {
    PtySim sim;
    ASSERT_TRUE(sim.Start());
    QtComPort port;
    ASSERT_EQ(port.ComOpen(sim.LinkPath(), 2400), OpenResult::Opened);
    EXPECT_EQ(port.ComOpen("/nonexistent/zelto/ups", 2400), OpenResult::Missing);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.ComWrite(kQuery), 0u);
}

// The simulator's terminal made to look like a serial device: owned by root and the group,
// readable and writable by both, by nobody else; its link reachable by everyone, as /dev is.
bool MakeSerialDevice(const PtySim& sim, gid_t group) {
    const std::string& link = sim.LinkPath();
    if (::chmod(sim.Directory().c_str(), 0755) != 0) {
        return false;
    }
    char device[4096];
    const ssize_t length = ::readlink(link.c_str(), device, sizeof device - 1);
    if (length <= 0) {
        return false;
    }
    device[length] = '\0';
    return ::chown(device, 0, group) == 0 && ::chmod(device, 0660) == 0;
}

TEST(QtComPortOpen, DeviceThisUserMayNotOpenIsPermissionDeniedAndNamesItsGroup) {
    ASSERT_EQ(::geteuid(), 0u) << "needs root to stand in for another user";
    const group* dialout = ::getgrnam("dialout");
    ASSERT_NE(dialout, nullptr);
    const gid_t dialoutGid = dialout->gr_gid;
    PtySim sim;
    ASSERT_TRUE(sim.Start());
    ASSERT_TRUE(MakeSerialDevice(sim, dialoutGid));
    QtComPort port;
    {
        const FileAccessAs nobody(65534, 65534);
        EXPECT_EQ(port.ComOpen(sim.LinkPath(), 2400), OpenResult::PermissionDenied);
        EXPECT_FALSE(port.IsOpen());
    }
    EXPECT_EQ(port.AccessGroup(sim.LinkPath()), "dialout");
    {
        // A member of the group may.
        const FileAccessAs member(65534, dialoutGid);
        EXPECT_EQ(port.ComOpen(sim.LinkPath(), 2400), OpenResult::Opened);
    }
    port.ComWrite(kQuery);
    EXPECT_TRUE(sim.WaitForCommand("Q1"));
}

TEST(QtComPortOpen, AccessGroupOnlyWhenJoiningItWouldHelp) {
    PtySim sim;
    ASSERT_TRUE(sim.Start());
    QtComPort port;
    // A fresh terminal: its group may write but not read.
    EXPECT_EQ(port.AccessGroup(sim.LinkPath()), "");
    ASSERT_TRUE(MakeSerialDevice(sim, 0));
    EXPECT_EQ(port.AccessGroup(sim.LinkPath()), "") << "the superuser's group";
    EXPECT_EQ(port.AccessGroup("/nonexistent/zelto/ups"), "");
}

TEST(QtComPortOpen, BusyPortFails) {
    PtySim sim;
    ASSERT_TRUE(sim.Start());
    QtComPort first;
    QtComPort second;
    ASSERT_EQ(first.ComOpen(sim.LinkPath(), 2400), OpenResult::Opened);
    EXPECT_EQ(second.ComOpen(sim.LinkPath(), 2400), OpenResult::Failed);
    EXPECT_FALSE(second.IsOpen());
    first.ComClose();
    EXPECT_EQ(second.ComOpen(sim.LinkPath(), 2400), OpenResult::Opened);
}

TEST(QtComPortOpen, OpeningAnotherPortReleasesTheFirst) {
    PtySim one;
    PtySim two;
    ASSERT_TRUE(one.Start());
    ASSERT_TRUE(two.Start());
    QtComPort port;
    ASSERT_EQ(port.ComOpen(one.LinkPath(), 2400), OpenResult::Opened);
    ASSERT_EQ(port.ComOpen(two.LinkPath(), 2400), OpenResult::Opened);
    port.ComWrite(kQuery);
    ASSERT_TRUE(WaitForInput(port, 47, 600ms));
    EXPECT_TRUE(one.Commands().empty());
    EXPECT_EQ(two.Commands(), std::vector<std::string>{"Q1"});
    QtComPort other;
    EXPECT_EQ(other.ComOpen(one.LinkPath(), 2400), OpenResult::Opened);
}

TEST_F(QtComPortTest, ClosesWhenTheDeviceVanishesInsteadOfSpinning) {
    port_.ComWrite(kQuery);
    ASSERT_TRUE(WaitForInput(port_, 47, 600ms));
    port_.ComPurgeInput();
    sim_.Kill();

    const auto cpuBefore = CpuTime();
    RunEventLoop(1000ms);
    const auto cpuUsed = CpuTime() - cpuBefore;
    // A port left listening on a vanished device keeps the event loop busy all the time.
    EXPECT_LT(Millis(cpuUsed), 200);
    // The next tick's look at the port notices and closes it.
    EXPECT_EQ(port_.ComInputCount(), 0u);
    EXPECT_FALSE(port_.IsOpen());
    EXPECT_EQ(port_.ComWrite(kQuery), 0u);
}

TEST_F(QtComPortTest, PollingNoticesAVanishedDeviceWithoutTheEventLoop) {
    sim_.Kill();
    const auto cpuBefore = CpuTime();
    const auto start = Clock::now();
    while (Clock::now() - start < 300ms) {
        EXPECT_EQ(port_.ComInputCount(), 0u);
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_FALSE(port_.IsOpen());
    RunEventLoop(300ms);
    EXPECT_LT(Millis(CpuTime() - cpuBefore), 150);
}

TEST_F(QtComPortTest, WriteToAVanishedDeviceFailsQuietlyAndCloses) {
    sim_.Kill();
    EXPECT_EQ(port_.ComWrite(kQuery), 0u);
    RunEventLoop(100ms);
    EXPECT_FALSE(port_.IsOpen());
}

TEST_F(QtComPortTest, ReopensWhenTheDeviceComesBackOnTheSamePath) {
    sim_.Kill();
    RunEventLoop(200ms);
    EXPECT_EQ(port_.ComInputCount(), 0u);
    ASSERT_FALSE(port_.IsOpen());
    ASSERT_TRUE(sim_.Start());
    ASSERT_EQ(port_.ComOpen(sim_.LinkPath(), 2400), OpenResult::Opened);
    port_.ComWrite(kQuery);
    ASSERT_TRUE(WaitForInput(port_, 47, 600ms));
    EXPECT_EQ(port_.ComRead(47), kRecord);
}

TEST(QtPortTable, ListsShortNamesWithTheirDevicePaths) {
    QtPortTable table;
    for (const PortEntry& entry : table.SystemPorts()) {
        EXPECT_FALSE(entry.name.empty());
        EXPECT_EQ(entry.path.front(), '/') << entry.path;
        EXPECT_NE(entry.name.front(), '/') << entry.name;
        EXPECT_EQ(entry.path.substr(entry.path.size() - entry.name.size()), entry.name);
    }
}

}  // namespace
}  // namespace zelto
