// The UPS simulator over its pseudo-terminal, spoken to with plain POSIX reads and writes: the
// other tests trust it to behave like the device, so its answers are checked byte by byte.
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include "support/pty_sim.h"

namespace zelto::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The host's end of the line, opened the way a terminal program would.
class RawLine {
public:
    explicit RawLine(const std::string& path)
        : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {}
    ~RawLine() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    RawLine(const RawLine&) = delete;
    RawLine& operator=(const RawLine&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    int Fd() const { return fd_; }
    void DropInput() { ::tcflush(fd_, TCIFLUSH); }

    // Sets the line up as a host program would: raw, at `speed`, 8N1 plus the `extra` flags.
    bool SetLine(speed_t speed, tcflag_t extra = 0) {
        termios settings{};
        if (::tcgetattr(fd_, &settings) != 0) {
            return false;
        }
        ::cfmakeraw(&settings);
        ::cfsetispeed(&settings, speed);
        ::cfsetospeed(&settings, speed);
        settings.c_cflag &= ~CSTOPB;
        settings.c_cflag |= extra;
        return ::tcsetattr(fd_, TCSANOW, &settings) == 0;
    }

    void Write(std::string_view bytes) {
        ASSERT_EQ(::write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    // Everything that arrives until the line has been quiet for `quiet` after the last byte,
    // or until `limit`; firstByte is when the first byte came, measured from the call.
    std::string Collect(std::chrono::milliseconds limit = 1000ms,
                        std::chrono::milliseconds quiet = 120ms,
                        Clock::duration* firstByte = nullptr) {
        const auto start = Clock::now();
        const auto end = start + limit;
        std::string data;
        auto lastByte = start;
        while (true) {
            const auto now = Clock::now();
            if (now >= end || (!data.empty() && now - lastByte >= quiet)) {
                return data;
            }
            const auto wait = std::min(end - now, data.empty() ? end - now : quiet);
            pollfd fd{fd_, POLLIN, 0};
            const int timeout =
                static_cast<int>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(wait).count()) +
                1;
            if (::poll(&fd, 1, timeout) > 0 && (fd.revents & POLLIN)) {
                char buffer[65536];
                const ssize_t count = ::read(fd_, buffer, sizeof buffer);
                if (count > 0) {
                    if (data.empty() && firstByte) {
                        *firstByte = Clock::now() - start;
                    }
                    data.append(buffer, static_cast<std::size_t>(count));
                    lastByte = Clock::now();
                }
            }
        }
    }

    // Reads until `count` bytes have come or the time is up.
    std::string ReadCount(std::size_t count, std::chrono::milliseconds limit) {
        const auto end = Clock::now() + limit;
        std::string data;
        while (data.size() < count && Clock::now() < end) {
            data += Collect(
                std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()), 5ms);
        }
        return data;
    }

    // A query and its answer. The simulator writes an answer in one piece, so a short quiet
    // spell after a full record is enough to see anything extra.
    std::string Query() {
        Write("Q1\r");
        std::string answer = ReadCount(47, 1000ms);
        return answer + Collect(30ms, 30ms);
    }

private:
    int fd_;
};

// Fields of the record by 0-based offset and width.
struct Field {
    const char* name;
    std::size_t offset;
    std::size_t width;
};
constexpr Field kMains{"mains", 1, 5};
constexpr Field kInput{"input", 7, 5};
constexpr Field kOutput{"output", 13, 5};
constexpr Field kLoad{"load", 19, 3};
constexpr Field kFrequency{"frequency", 23, 4};
constexpr Field kBattery{"battery", 28, 4};
constexpr Field kTemperature{"temperature", 33, 4};
constexpr Field kFlags{"flags", 38, 8};

std::string FieldOf(const std::string& record, const Field& field) {
    return record.size() >= field.offset + field.width ? record.substr(field.offset, field.width)
                                                       : "<short record>";
}

const std::string kDefaultRecord = "(228.0 228.0 228.0 015 50.0 13.6 35.0 00001001\r";

class Simulator : public ::testing::Test {
protected:
    void StartWith(std::vector<std::string> arguments) {
        sim_ = std::make_unique<PtySim>(PtySim::Options{std::move(arguments)});
        ASSERT_TRUE(sim_->Start()) << sim_->Output();
        line_ = std::make_unique<RawLine>(sim_->LinkPath());
        ASSERT_TRUE(line_->IsOpen());
    }
    void SetUp() override { StartWith({}); }

    std::unique_ptr<PtySim> sim_;
    std::unique_ptr<RawLine> line_;
};

TEST_F(Simulator, AnswersAQueryWithTheDefaultRecordAfterItsLineTime) {
    Clock::duration firstByte{};
    line_->Write("Q1\r");
    const std::string answer = line_->Collect(1000ms, 120ms, &firstByte);
    EXPECT_EQ(answer, kDefaultRecord);
    ASSERT_EQ(answer.size(), 47u);
    // 47 bytes of ten bits at 2400 baud take 196 ms.
    const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(firstByte).count();
    EXPECT_GE(millis, 180);
    EXPECT_LE(millis, 300);
}

TEST_F(Simulator, RecordHasItsFieldsAtFixedPositions) {
    const std::string record = line_->Query();
    ASSERT_EQ(record.size(), 47u);
    EXPECT_EQ(record[0], '(');
    for (const std::size_t blank : {6u, 12u, 18u, 22u, 27u, 32u, 37u}) {
        EXPECT_EQ(record[blank], ' ') << "position " << blank;
    }
    EXPECT_EQ(record[46], '\r');
    EXPECT_EQ(FieldOf(record, kMains), "228.0");
    EXPECT_EQ(FieldOf(record, kLoad), "015");
    EXPECT_EQ(FieldOf(record, kFrequency), "50.0");
    EXPECT_EQ(FieldOf(record, kBattery), "13.6");
    EXPECT_EQ(FieldOf(record, kTemperature), "35.0");
    EXPECT_EQ(FieldOf(record, kFlags), "00001001");
}

TEST_F(Simulator, SpeaksOnlyWhenAsked) {
    EXPECT_EQ(line_->Collect(300ms), "");
    line_->Write("Q\r");
    line_->Write("S05R0000\r");
    line_->Write("HELLO\r");
    EXPECT_EQ(line_->Collect(400ms), "");
    ASSERT_TRUE(sim_->WaitForCommand("HELLO"));
}

struct AnswerCase {
    const char* command;
    std::string answer;
};

TEST_F(Simulator, AnswersIdentificationAndRatingAndLeavesOtherDialectsUnanswered) {
    const AnswerCase cases[] = {
        {"I", "#ZELTO           SIM        1.0       \r"},
        {"F", "#230.0 003 012.0 50.0\r"},
        {"Q1", kDefaultRecord},
        // What NUT's driver tries before it settles on this dialect.
        {"QGS", ""},
        {"QPI", ""},
        {"QS", ""},
        {"M", ""},
        {"D", ""},
        {"ID", ""},
    };
    for (const auto& c : cases) {
        line_->Write(std::string(c.command) + "\r");
        const std::string answer = c.answer.empty() ? line_->Collect(500ms)
                                                    : line_->ReadCount(c.answer.size(), 1000ms) +
                                                          line_->Collect(50ms, 50ms);
        EXPECT_EQ(answer, c.answer) << c.command;
    }
    // A fault spoils the next status answer, not the information around it.
    ASSERT_TRUE(sim_->Send("short"));
    line_->Write("I\rQ1\rF\r");
    const std::string answers = line_->ReadCount(39 + 46 + 22, 2000ms) + line_->Collect(50ms, 50ms);
    EXPECT_EQ(answers, "#ZELTO           SIM        1.0       \r" + kDefaultRecord.substr(0, 46) +
                           "#230.0 003 012.0 50.0\r");
    ASSERT_TRUE(sim_->Send("silent on"));
    line_->Write("I\rF\r");
    EXPECT_EQ(line_->Collect(500ms), "");
}

TEST_F(Simulator, AnswersEveryQueryInTurn) {
    line_->Write("Q1\rQ1\r");
    const std::string answers = line_->ReadCount(94, 1500ms);
    EXPECT_EQ(answers, kDefaultRecord + kDefaultRecord);
}

TEST_F(Simulator, BeeperCommandTogglesFlagB0) {
    line_->Write("Q\r");
    ASSERT_TRUE(sim_->WaitForCommand("Q"));
    EXPECT_EQ(FieldOf(line_->Query(), kFlags), "00001000");
    line_->Write("Q\r");
    ASSERT_TRUE(sim_->WaitForCommand("Q", 2));
    EXPECT_EQ(FieldOf(line_->Query(), kFlags), "00001001");
}

struct LineCase {
    const char* line;
    speed_t speed;
    tcflag_t extra;
    const char* event;
};

// A pseudo-terminal keeps 8 data bits and no parity whatever the host asks for, so a host at
// 7E1 cannot be caught here; speed and stop bits can.
TEST_F(Simulator, AnswersOnlyAHostAt2400Baud8N1AndSaysWhyOnce) {
    const LineCase wrong[] = {
        {"9600 8N1", B9600, 0, "line 9600 8N1: not answering"},
        {"1200 8N1", B1200, 0, "line 1200 8N1: not answering"},
        {"2400 8N2", B2400, CSTOPB, "line 2400 8N2: not answering"},
    };
    for (const auto& c : wrong) {
        ASSERT_TRUE(line_->SetLine(c.speed, c.extra)) << c.line;
        // Twice, and with the beeper toggle: none of it may be answered or acted on.
        line_->Write("Q\rQ1\r");
        line_->Write("Q1\r");
        EXPECT_EQ(line_->Collect(600ms), "") << c.line;
        ASSERT_TRUE(sim_->WaitForOutput(c.event)) << c.line;
        const auto events = sim_->Events();
        EXPECT_EQ(std::count(events.begin(), events.end(), c.event), 1) << c.line;
    }
    ASSERT_TRUE(line_->SetLine(B2400));
    EXPECT_EQ(line_->Query(), kDefaultRecord);  // b0 still 1: the toggles went unheard
    ASSERT_TRUE(sim_->WaitForOutput("line 2400 8N1: answering"));
    EXPECT_EQ(sim_->Commands(), std::vector<std::string>{"Q1"});
    EXPECT_EQ(line_->Query(), kDefaultRecord);
    const auto events = sim_->Events();
    EXPECT_EQ(std::count(events.begin(), events.end(), "line 2400 8N1: answering"), 1);
}

struct ControlCase {
    const char* control;
    Field field;
    const char* shown;
};

TEST_F(Simulator, ControlLinesChangeWhatTheRecordShows) {
    const ControlCase cases[] = {
        {"load 87", kLoad, "087"},
        {"load 0", kLoad, "000"},
        {"battery 11.2", kBattery, "11.2"},
        {"battery 9.5", kBattery, "09.5"},
        {"temp 41.5", kTemperature, "41.5"},
        {"freq 49.9", kFrequency, "49.9"},
        {"mains 215.5", kMains, "215.5"},
        {"mains 215.5", kInput, "215.5"},
        {"output 220.1", kOutput, "220.1"},
        {"flags 01010110", kFlags, "01010110"},
        {"flags  0 X001a", kFlags, " 0 X001a"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(sim_->Send(c.control)) << c.control;
        const std::string record = line_->Query();
        EXPECT_EQ(record.size(), 47u) << c.control;
        EXPECT_EQ(FieldOf(record, c.field), c.shown) << c.control << " -> " << c.field.name;
    }
}

TEST_F(Simulator, RefusesBadControlLines) {
    for (const char* bad :
         {"mains maybe", "load 12.5", "load 1000", "battery -1", "temp x", "flags 101", "garbage",
          "garbage 0", "flood many", "silent", "short 3", "jump"}) {
        EXPECT_FALSE(sim_->Send(bad)) << bad;
    }
    EXPECT_EQ(line_->Query(), kDefaultRecord);
}

TEST_F(Simulator, LogsEveryCommandWithATimestamp) {
    line_->Write("Q1\r");
    line_->Write("Q\r");
    line_->Write("S03R0000\r");
    line_->Write("\x07\r");
    ASSERT_TRUE(sim_->WaitForCommand("\\x07"));
    const std::vector<std::string> expected = {"Q1", "Q", "S03R0000", "\\x07"};
    EXPECT_EQ(sim_->Commands(), expected);
    const std::regex stamped(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3} (Q1|Q|S03R0000|\\x07))");
    int commands = 0;
    for (const auto& entry : sim_->LogLines()) {
        if (entry.find(" # ") == std::string::npos) {
            ++commands;
            EXPECT_TRUE(std::regex_match(entry, stamped)) << entry;
        }
    }
    EXPECT_EQ(commands, 4);
}

class SimulatorFast : public Simulator {
protected:
    // A device minute lasts half a second; the battery falls a volt a device minute.
    void SetUp() override { StartWith({"--time-scale", "120", "--drain", "1"}); }
};

TEST_F(SimulatorFast, MainsFailureShowsZeroMainsFlagB7AndADrainingBattery) {
    ASSERT_TRUE(sim_->Send("mains off"));
    const std::string first = line_->Query();
    EXPECT_EQ(FieldOf(first, kMains), "000.0");
    EXPECT_EQ(FieldOf(first, kInput), "000.0");
    EXPECT_EQ(FieldOf(first, kOutput), "228.0");
    EXPECT_EQ(FieldOf(first, kLoad), "015");
    EXPECT_EQ(first[38], '1');
    const double before = std::stod(FieldOf(first, kBattery));
    EXPECT_LT(before, 13.6);

    const std::string later = line_->Query();
    const double after = std::stod(FieldOf(later, kBattery));
    // At least the query's own line time passed: 196 ms is 0.39 device minutes.
    EXPECT_LT(after, before - 0.2);

    ASSERT_TRUE(sim_->Send("mains on"));
    const std::string back = line_->Query();
    EXPECT_EQ(FieldOf(back, kMains), "228.0");
    EXPECT_EQ(FieldOf(back, kBattery), "13.6");
    EXPECT_EQ(back[38], '0');
}

TEST_F(SimulatorFast, BatteryStopsAtTheFloorAndBatterySetOnMainsIsTheChargedLevel) {
    ASSERT_TRUE(sim_->Send("battery 12.9"));
    ASSERT_TRUE(sim_->Send("drain 600"));
    ASSERT_TRUE(sim_->Send("mains off"));
    EXPECT_EQ(FieldOf(line_->Query(), kBattery), "10.0");
    ASSERT_TRUE(sim_->Send("mains on"));
    EXPECT_EQ(FieldOf(line_->Query(), kBattery), "12.9");
}

TEST_F(SimulatorFast, SwitchOffCommandTurnsTheOutputOffAfterItsDelay) {
    line_->Write("S01R0000\r");
    ASSERT_TRUE(sim_->WaitForOutput("switch-off in 01 min"));
    EXPECT_EQ(sim_->Commands(), std::vector<std::string>{"S01R0000"});
    // Half a second to go: the output is still on, b1 tells of the pending switch-off.
    const std::string pending = line_->Query();
    EXPECT_EQ(FieldOf(pending, kOutput), "228.0");
    EXPECT_EQ(FieldOf(pending, kFlags), "00001011");

    ASSERT_TRUE(sim_->WaitForOutput("output off", 2s));
    const std::string off = line_->Query();
    ASSERT_EQ(off.size(), 47u);
    EXPECT_EQ(FieldOf(off, kOutput), "000.0");
    EXPECT_EQ(FieldOf(off, kLoad), "000");
    EXPECT_EQ(FieldOf(off, kMains), "228.0");
    const auto events = sim_->Events();
    EXPECT_NE(std::find(events.begin(), events.end(), "switch-off in 01 min"), events.end());
    EXPECT_NE(std::find(events.begin(), events.end(), "output off"), events.end());

    // The output returns with the mains after a failure.
    ASSERT_TRUE(sim_->Send("mains off"));
    ASSERT_TRUE(sim_->Send("mains on"));
    const std::string on = line_->Query();
    EXPECT_EQ(FieldOf(on, kOutput), "228.0");
    EXPECT_EQ(FieldOf(on, kLoad), "015");
    EXPECT_EQ(FieldOf(on, kFlags), "00001001");
}

TEST_F(SimulatorFast, SwitchOffDelayIsTheMinutesOfTheCommand) {
    line_->Write("S10R0000\r");
    ASSERT_TRUE(sim_->WaitForOutput("switch-off in 10 min"));
    // Ten device minutes are five seconds here: still on after one.
    EXPECT_EQ(line_->Collect(800ms), "");
    EXPECT_EQ(FieldOf(line_->Query(), kOutput), "228.0");
    EXPECT_EQ(sim_->Output().find("output off"), std::string::npos);
}

struct CancelCase {
    const char* switchOff;  // sent before the cancel; empty for none
    bool waitForOff;        // cancel only once the output is off
    const char* event;      // what the cancel is reported as
    const char* output;     // the output field once the switch-off delay has run out
    const char* flags;
};

TEST_F(SimulatorFast, CancelStopsAPendingSwitchOffAndComesTooLateForADoneOne) {
    const CancelCase cases[] = {
        {"S01R0000", false, "switch-off cancelled", "228.0", "00001001"},
        {"S00R0000", true, "switch-off cancel too late: output already off", "000.0", "00001011"},
        {"", false, "no switch-off to cancel", "228.0", "00001001"},
    };
    for (const auto& c : cases) {
        const std::string name = *c.switchOff ? c.switchOff : "no switch-off";
        StartWith({"--time-scale", "120"});
        if (*c.switchOff) {
            line_->Write(std::string(c.switchOff) + "\r");
            ASSERT_TRUE(sim_->WaitForCommand(c.switchOff)) << name;
        }
        if (c.waitForOff) {
            ASSERT_TRUE(sim_->WaitForOutput("output off")) << name;
        }
        line_->Write("C\r");
        ASSERT_TRUE(sim_->WaitForOutput(c.event)) << name;
        // A device minute is half a second here: the delay of S01 has run out after this.
        EXPECT_EQ(line_->Collect(700ms), "") << name;
        const std::string record = line_->Query();
        EXPECT_EQ(FieldOf(record, kOutput), c.output) << name;
        EXPECT_EQ(FieldOf(record, kFlags), c.flags) << name;
        const auto events = sim_->Events();
        EXPECT_NE(std::find(events.begin(), events.end(), c.event), events.end()) << name;
        const auto offs = std::count(events.begin(), events.end(), "output off");
        EXPECT_EQ(offs, c.waitForOff ? 1 : 0) << name;
        std::vector<std::string> commands;
        if (*c.switchOff) {
            commands.push_back(c.switchOff);
        }
        commands.insert(commands.end(), {"C", "Q1"});
        EXPECT_EQ(sim_->Commands(), commands) << name;
    }
}

struct FaultCase {
    const char* fault;
    std::size_t length;
    const char* what;
};

TEST_F(Simulator, EachFaultSpoilsOneAnswerTheWayItSays) {
    const std::string record = kDefaultRecord;
    const FaultCase cases[] = {
        {"short", 46, "the record without its CR"},
        {"long", 48, "the record and LF"},
        {"double", 94, "two records"},
        {"badload", 47, "load field 0x?"},
        {"badload abc", 47, "load field abc"},
        {"badbattery", 47, "battery field 1.36"},
        {"badbattery 1x", 47, "battery field 1x and a blank"},
        {"garbage 30", 30, "thirty random bytes"},
        {"flood 5000", 5000, "five thousand bytes"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(sim_->Send(c.fault)) << c.fault;
        line_->Write("Q1\r");
        const std::string answer = line_->ReadCount(c.length, 1500ms) + line_->Collect(150ms, 50ms);
        ASSERT_EQ(answer.size(), c.length) << c.fault;
        const std::string name = c.fault;
        if (name == "short") {
            EXPECT_EQ(answer, record.substr(0, 46));
        } else if (name == "long") {
            EXPECT_EQ(answer, record + "\n");
        } else if (name == "double") {
            EXPECT_EQ(answer, record + record);
        } else if (name == "badload") {
            EXPECT_EQ(FieldOf(answer, kLoad), "0x?");
            EXPECT_EQ(FieldOf(answer, kBattery), "13.6");
        } else if (name == "badload abc") {
            EXPECT_EQ(FieldOf(answer, kLoad), "abc");
        } else if (name == "badbattery") {
            EXPECT_EQ(FieldOf(answer, kBattery), "1.36");
            EXPECT_EQ(FieldOf(answer, kLoad), "015");
        } else if (name == "badbattery 1x") {
            EXPECT_EQ(FieldOf(answer, kBattery), "1x  ");
        } else if (name == "garbage 30") {
            EXPECT_NE(answer, record.substr(0, 30));
        } else if (name == "flood 5000") {
            EXPECT_EQ(answer.substr(0, 47), record);
            EXPECT_EQ(answer.substr(4700, 47), record);
        }
        // One answer only: the next one is whole again.
        EXPECT_EQ(line_->Query(), record) << "after " << c.fault;
    }
}

TEST_F(Simulator, FaultsQueueUpOneAnswerEach) {
    ASSERT_TRUE(sim_->Send("short"));
    ASSERT_TRUE(sim_->Send("long"));
    EXPECT_EQ(line_->Query().size(), 46u);
    EXPECT_EQ(line_->Query().size(), 48u);
    EXPECT_EQ(line_->Query().size(), 47u);
    ASSERT_TRUE(sim_->Send("short"));
    ASSERT_TRUE(sim_->Send("clear"));
    EXPECT_EQ(line_->Query().size(), 47u);
}

TEST_F(Simulator, SplitAnswerComesInTwoHalvesMoreThanAPollApart) {
    ASSERT_TRUE(sim_->Send("split"));
    line_->Write("Q1\r");
    const std::string first = line_->Collect(800ms, 200ms);
    EXPECT_EQ(first, kDefaultRecord.substr(0, 23));
    // Nothing for more than a poll second after the first half.
    EXPECT_EQ(line_->Collect(1050ms, 1050ms), "");
    const std::string second = line_->Collect(1000ms);
    EXPECT_EQ(second, kDefaultRecord.substr(23));
    EXPECT_EQ(line_->Query(), kDefaultRecord);
}

TEST_F(Simulator, SilentDeviceIgnoresQueriesUntilToldOtherwise) {
    ASSERT_TRUE(sim_->Send("silent on"));
    line_->Write("Q1\r");
    EXPECT_EQ(line_->Collect(500ms), "");
    ASSERT_TRUE(sim_->WaitForCommand("Q1"));
    ASSERT_TRUE(sim_->Send("silent off"));
    EXPECT_EQ(line_->Query(), kDefaultRecord);
}

TEST_F(Simulator, QuitEndsTheSimulatorAndRemovesItsLink) {
    ASSERT_TRUE(sim_->Send("quit"));
    ASSERT_TRUE(PtySim::WaitFor(3s, [&] { return !sim_->Running(); }));
    struct stat info {};
    EXPECT_NE(::lstat(sim_->LinkPath().c_str(), &info), 0);
}

TEST(SimulatorLink, StopRemovesTheLinkAndARestartReplacesAStaleOne) {
    PtySim sim;
    ASSERT_TRUE(sim.Start());
    char first[256] = {};
    ASSERT_GT(::readlink(sim.LinkPath().c_str(), first, sizeof first - 1), 0);

    sim.Kill();  // no chance to clean up: the link stays, pointing at a dead terminal
    struct stat info {};
    ASSERT_EQ(::lstat(sim.LinkPath().c_str(), &info), 0);

    ASSERT_TRUE(sim.Start());
    RawLine line(sim.LinkPath());
    ASSERT_TRUE(line.IsOpen());
    EXPECT_EQ(line.Query(), kDefaultRecord);

    sim.Stop();
    EXPECT_NE(::lstat(sim.LinkPath().c_str(), &info), 0);
}

TEST(SimulatorLink, RefusesToReplaceAFileThatIsNotALink) {
    PtySim holder;  // for its private directory
    const std::string path = holder.Directory() + "/not-a-link";
    std::ofstream(path) << "keep me";
    std::string command = PtySim::DefaultBinary() + " " + path + " >/dev/null 2>&1";
    EXPECT_NE(std::system(command.c_str()), 0);
    std::ifstream kept(path);
    std::string text;
    std::getline(kept, text);
    EXPECT_EQ(text, "keep me");
}

TEST(SimulatorLink, SurvivesAHostThatOpensAndClosesTheLineAgainAndAgain) {
    PtySim sim;
    ASSERT_TRUE(sim.Start());
    for (int round = 0; round < 5; ++round) {
        RawLine line(sim.LinkPath());
        ASSERT_TRUE(line.IsOpen()) << "round " << round;
        if (round % 2 == 0) {
            // Leaves a query unanswered: the answer goes to nobody.
            line.Write("Q1\r");
            continue;
        }
        // The answer to the last round's query waits in the line; drop it like a host would.
        ::usleep(250000);
        line.DropInput();
        EXPECT_EQ(line.Query(), kDefaultRecord) << "round " << round;
    }
    RawLine last(sim.LinkPath());
    ASSERT_TRUE(last.IsOpen());
    ::usleep(250000);
    last.DropInput();
    EXPECT_EQ(last.Query(), kDefaultRecord);
}

TEST(SimulatorLink, ClearsTheExclusiveUseMarkOfAHostThatDiedWithTheLineOpen) {
    PtySim sim;
    ASSERT_TRUE(sim.Start());
    {
        // A serial library marks the line for exclusive use on open and clears the mark on
        // close; a host killed in between never clears it, and the simulator holds the line.
        RawLine host(sim.LinkPath());
        ASSERT_TRUE(host.IsOpen());
        ASSERT_EQ(::ioctl(host.Fd(), TIOCEXCL), 0);
    }
    RawLine probe(sim.LinkPath());  // root may open it anyway; others would get EBUSY
    ASSERT_TRUE(probe.IsOpen());
    int exclusive = 0;
    ASSERT_EQ(::ioctl(probe.Fd(), TIOCGEXCL, &exclusive), 0);
    ASSERT_EQ(exclusive, 1);
    EXPECT_TRUE(PtySim::WaitFor(4s, [&] {
        ::ioctl(probe.Fd(), TIOCGEXCL, &exclusive);
        return exclusive == 0;
    }));
}

TEST(SimulatorScenario, StepsRunAtTheirSecondsAfterTheStart) {
    PtySim holder;
    const std::string scenario = holder.Directory() + "/steps.txt";
    std::ofstream(scenario) << "# a short mains failure\n"
                               "0.4 mains off\n"
                               "\n"
                               "0.4 battery 11.2\n"
                               "1.2 mains on\n";
    PtySim sim(PtySim::Options{{"--scenario", scenario, "--drain", "0"}});
    ASSERT_TRUE(sim.Start());
    RawLine line(sim.LinkPath());
    ASSERT_TRUE(line.IsOpen());
    EXPECT_EQ(line.Query(), kDefaultRecord);  // answered about 0.2 s after the start
    ASSERT_TRUE(sim.WaitForOutput("scenario: battery 11.2"));
    const std::string failed = line.Query();
    EXPECT_EQ(FieldOf(failed, kMains), "000.0");
    EXPECT_EQ(FieldOf(failed, kBattery), "11.2");
    ASSERT_TRUE(sim.WaitForOutput("scenario: mains on"));
    EXPECT_EQ(line.Query(), kDefaultRecord);
}

TEST(SimulatorScenario, BadScenarioLineStopsTheStartWithItsLineNumber) {
    PtySim holder;
    const std::string scenario = holder.Directory() + "/bad.txt";
    std::ofstream(scenario) << "1 mains off\nsoon mains on\n";
    const std::string command = PtySim::DefaultBinary() + " --scenario " + scenario + " " +
                                holder.Directory() + "/ups 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) {
        output += buffer;
    }
    EXPECT_NE(::pclose(pipe), 0);
    EXPECT_NE(output.find("bad.txt:2:"), std::string::npos) << output;
}

TEST(SimulatorControl, FifoTakesControlLinesFromAnyWriter) {
    PtySim holder;
    const std::string fifo = holder.Directory() + "/control";
    PtySim sim(PtySim::Options{{"--control", fifo}});
    ASSERT_TRUE(sim.Start());
    for (const char* control : {"load 55\n", "temp 40.0\n"}) {
        std::ofstream(fifo) << control;  // each writer opens, writes and goes away
    }
    ASSERT_TRUE(sim.WaitForOutput("ok: temp 40.0"));
    RawLine line(sim.LinkPath());
    const std::string record = line.Query();
    EXPECT_EQ(FieldOf(record, kLoad), "055");
    EXPECT_EQ(FieldOf(record, kTemperature), "40.0");
}

TEST(SimulatorHelp, DocumentsEveryCommandAndOption) {
    FILE* pipe = ::popen((PtySim::DefaultBinary() + " --help").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string help;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) {
        help += buffer;
    }
    EXPECT_EQ(::pclose(pipe), 0);
    for (const char* word :
         {"--log",           "--control",      "--scenario", "--time-scale",   "--drain",
          "--battery-floor", "--answer-delay", "--seed",     "mains on|off",   "battery VOLTS",
          "load N",          "temp T",         "freq F",     "flags XXXXXXXX", "drain RATE",
          "silent on|off",   "split",          "short",      "long",           "double",
          "badload",         "badbattery",     "garbage N",  "flood N",        "quit",
          "SnnR0000",        "  C  ",          "  I  ",      "  F  "}) {
        EXPECT_NE(help.find(word), std::string::npos) << word;
    }
}

}  // namespace
}  // namespace zelto::test
