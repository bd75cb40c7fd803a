// Faults on the line, end to end: the whole program in this process on the UPS simulator over a
// real pseudo-terminal, its power requests going to the logind stand-in on a private bus. Every
// fault the simulator can put on the line, the simulator going away and coming back on the same
// path, and the port held by another program. After each, records must be shown again and a
// mains failure must still end in exactly one power request.
//
// Then faults around the program that must not cost the machine its protection: a settings file
// that cannot be written, bad values in it, a refused power request, a remembered port that is
// absent at start-up, a port the user may not open, and each answer logind can give about the
// chosen method.
//
// The program's timer and the countdown's are fired by hand (support/hand_clock.h): each tick as
// soon as the simulator's answer to the last query is in, or after kPatience without one.
// Everything the program does is counted in ticks (the link colour, the reopening of a lost port,
// the countdown), so only the wall time shrinks; the simulator answers sooner to match.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPalette>
#include <QPointer>
#include <QSerialPortInfo>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <sys/fsuid.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "support/event_pump.h"
#include "support/file_access_as.h"
#include "support/file_system_rig.h"
#include "support/hand_clock.h"
#include "support/live_program.h"
#include "support/private_bus.h"
#include "support/program_process.h"
#include "support/pty_sim.h"
#include "support/timed_log.h"

namespace zelto::test {
namespace {

using namespace std::chrono_literals;

// How long a tick waits for an answer before it goes without one.
constexpr std::chrono::milliseconds kPatience(200);
// The simulator's answer delay: well inside the patience, as 196 ms is inside a second.
const char* const kAnswerDelayMs = "20";
constexpr std::size_t kRecordBytes = 47;
// A lost port is tried again every third tick; allow for the tick that notices the loss and the
// one that reads the first answer after the reopen.
constexpr std::size_t kRecoveryTicks = 6;

const QColor kBlack(Qt::black);
const QColor kRed(Qt::red);

// What the program showed right after one of its ticks.
struct TickSeen {
    bool linkOk = false;
    std::uint64_t records = 0;  // RecordsHandled
    QString mains;              // Label1
    QString load;               // Label4
    QString frequency;          // Label5
    QString battery;            // Label6
    QString charge;             // Label20
    QColor list;                // the port list's text colour
    int boxes = 0;              // error boxes open
};

// The error boxes open now, wherever they came from.
std::vector<QMessageBox*> OpenBoxes() {
    std::vector<QMessageBox*> boxes;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(widget); box != nullptr && box->isVisible()) {
            boxes.push_back(box);
        }
    }
    return boxes;
}

std::string Str(const QString& text) {
    return text.toStdString();
}

class FaultScenarios : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bus_.Started()) << Str(bus_.Error());
        logind_ = std::make_unique<LogindStandin>(bus_);
        ASSERT_TRUE(logind_->Started()) << Str(logind_->Error());
        ASSERT_TRUE(folder_.isValid());
        previousFolder_ = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(folder_.path()));
    }

    void TearDown() override {
        clock_.reset();
        live_.reset();
        QDir::setCurrent(previousFolder_);
        // Mounts made in this thread's own namespace, newest first.
        for (auto mount = mounts_.rbegin(); mount != mounts_.rend(); ++mount) {
            ::umount2(mount->c_str(), MNT_DETACH);
        }
        if (!HasFailure()) {
            return;
        }
        // The last of the story: what the UPS received and what logind was asked.
        const auto log = sim_.LogLines();
        for (std::size_t i = log.size() > 40 ? log.size() - 40 : 0; i < log.size(); ++i) {
            std::printf("  ups-sim: %s\n", log[i].c_str());
        }
        for (const auto& call : logind_ ? logind_->Calls() : QStringList()) {
            std::printf("  logind:  %s\n", Str(call).c_str());
        }
    }

    // "при отказе сети", "Спящий режим", the given UPS switch-off index and countdown length.
    std::string Settings(int upsOff, int offAfter) const {
        return "[UPS]\r\nPorts=" + sim_.LinkPath() +
               "\r\nCOMPort=0\r\nCompOff=0\r\nOffMethod=1\r\nOffUPS=" + std::to_string(upsOff) +
               "\r\nOFFAfter=" + std::to_string(offAfter) + "\r\n";
    }
    void WriteSettings(int upsOff, int offAfter) { WriteIni(Settings(upsOff, offAfter)); }
    void WriteIni(const std::string& ini) {
        QFile file(IniPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(ini.data(), static_cast<qint64>(ini.size())),
                  static_cast<qint64>(ini.size()));
    }
    QString IniPath() const { return folder_.filePath("UPSZelto.ini"); }

    void StartProgram() {
        WriteSettings(1, 0);
        StartLive();
    }
    void StartWith(const std::string& ini) {
        WriteIni(ini);
        StartLive();
    }
    // The logind stand-in again, with these arguments.
    void RestartLogind(const QStringList& arguments) {
        logind_.reset();
        logind_ = std::make_unique<LogindStandin>(bus_, arguments);
        ASSERT_TRUE(logind_->Started()) << Str(logind_->Error());
    }

    void StartLive() {
        live_ = std::make_unique<LiveProgram>(bus_.Address());
        live_->Start();
        // Open, as the user watching it has it: only an open window shows the records.
        live_->Form().ShowHideExecute();
        clock_ = std::make_unique<HandClock>(*live_, kPatience);
        clock_->afterTick = [this] { Record(); };
    }

    void Record() {
        const ProgramState& state = live_->Main().State();
        TickSeen seen;
        seen.linkOk = state.LinkOk;
        seen.records = state.RecordsHandled;
        seen.mains = Text("Label1");
        seen.load = Text("Label4");
        seen.frequency = Text("Label5");
        seen.battery = Text("Label6");
        seen.charge = Text("Label20");
        seen.list = List()->palette().color(QPalette::Text);
        seen.boxes = static_cast<int>(OpenBoxes().size());
        ticks_.push_back(seen);
    }

    QString Text(const char* name) const {
        const auto* label = live_->Form().Window().findChild<QLabel*>(name);
        return label != nullptr ? label->text() : QString("(no %1)").arg(name);
    }
    QComboBox* List() const { return live_->Form().Window().findChild<QComboBox*>("ComboBox4"); }
    QColor ListColour() const { return List()->palette().color(QPalette::Text); }

    // Ticks until `count` more ticks have been seen.
    bool PumpTicks(std::size_t count) {
        const std::size_t until = ticks_.size() + count;
        return clock_->RunUntil([&] { return ticks_.size() >= until; }, count + 2);
    }

    // Mains at `volts` and waits until a record shows it with the link black: normal records
    // are shown again. Returns the ticks that took, or a large number when it never happened.
    std::size_t ShowsRecordsAgain(const std::string& volts) {
        const std::size_t from = ticks_.size();
        EXPECT_TRUE(sim_.Send("mains " + volts));
        const QString wanted = QString::fromStdString(volts + " V");
        const bool shown = clock_->RunUntil(
            [&] {
                return ticks_.size() > from && ticks_.back().mains == wanted &&
                       ticks_.back().linkOk && ticks_.back().list == kBlack;
            },
            12);
        EXPECT_TRUE(shown) << "records not shown again: Label1 " << Str(Text("Label1")) << ", list "
                           << Str(ListColour().name());
        return shown ? ticks_.size() - from : 1000;
    }

    // Sends the control lines at a known point of the poll: just after a tick, once the answer
    // to that tick's query has arrived. What the lines change therefore first shows in the
    // answer the second tick from now reads; the first reads the answer already here. Returns
    // the index the first of those ticks will have.
    //
    // The poll must be in step first: one answer waiting, none on its way. A tick that came
    // before a late answer (a loaded machine, or a flood the simulator was still writing) leaves
    // two queries open, and the second answer would arrive after the lines took effect, a tick
    // late. A tick that reads both answers at once brings the poll back in step.
    std::size_t InjectAfterAnswer(const std::vector<std::string>& lines) {
        for (int attempt = 0; attempt < 6; ++attempt) {
            EXPECT_TRUE(PumpTicks(1));
            const bool answered = PtySim::WaitFor(
                1s, [this] { return live_->Port().ComInputCount() >= kRecordBytes; });
            EXPECT_TRUE(answered) << "no answer to the last query";
            std::this_thread::sleep_for(300ms);
            if (live_->Port().ComInputCount() == kRecordBytes) {
                break;
            }
        }
        for (const auto& line : lines) {
            EXPECT_TRUE(sim_.Send(line)) << line;
        }
        return ticks_.size();
    }

    // Closes the one open error box, after checking that it is the only one and says `text`.
    // A text that waited behind it shows next.
    void CloseTheOneBox(const QString& text) {
        const auto boxes = OpenBoxes();
        ASSERT_EQ(boxes.size(), 1u) << "error boxes open";
        EXPECT_EQ(boxes[0], live_->Errors().OpenBox());
        EXPECT_EQ(Str(boxes[0]->text()), Str(text));
        EXPECT_EQ(Str(boxes[0]->windowTitle()), "UPS Zelto");
        const QPointer<QMessageBox> closed = boxes[0];
        closed->button(QMessageBox::Ok)->click();
        EXPECT_TRUE(PumpUntil([&] { return closed.isNull() || !closed->isVisible(); }, 2s));
    }
    // Waits for the one box with `text` and closes it.
    void WaitAndCloseTheOneBox(const QString& text) {
        EXPECT_TRUE(clock_->RunUntil([] { return !OpenBoxes().empty(); }, 8))
            << "no box: " << Str(text);
        CloseTheOneBox(text);
    }
    QComboBox* Combo(const char* name) const {
        return live_->Form().Window().findChild<QComboBox*>(name);
    }

    // Mains fail with the given policy: the countdown runs out and logind is asked to hibernate
    // exactly once, after the UPS got its switch-off command (none with index 0). Then mains come
    // back and records show `volts` again.
    void OutageEndsInOneHibernate(int upsOff, int offAfter, const std::string& volts) {
        SCOPED_TRACE("outage with OffUPS " + std::to_string(upsOff) + ", OFFAfter " +
                     std::to_string(offAfter));
        WriteSettings(upsOff, offAfter);
        auto* upsList = live_->Form().Window().findChild<QComboBox*>("ComboBox3");
        ASSERT_NE(upsList, nullptr);
        // As the user picks it: the list emits activated() only for a choice of the user's.
        upsList->setCurrentIndex(upsOff);
        emit upsList->activated(upsOff);
        ASSERT_EQ(live_->Main().State().UpsOffIndex, upsOff);

        char command[16];
        std::snprintf(command, sizeof command, "S%02dR0000", upsOff);
        const auto switchOffsBefore = TimesOf(ParseTimedLines(sim_.LogLines()), command).size();
        const std::size_t anySwitchOffBefore = SwitchOffCommands();
        const auto callsBefore = logind_->Calls().size();

        ASSERT_TRUE(sim_.Send("mains off"));
        ASSERT_TRUE(clock_->RunUntil([&] { return logind_->Calls().size() > callsBefore; }, 10))
            << "no power request after the mains failed";
        // The countdown is over; a few more ticks on battery must not ask again.
        EXPECT_TRUE(PumpTicks(3));
        const auto calls = ReadTimedLog(logind_->LogPath());
        ASSERT_EQ(calls.size(), callsBefore + 1) << "power requests for one outage";
        EXPECT_EQ(calls.back().text, "Hibernate false");

        const auto switchOffs = TimesOf(ParseTimedLines(sim_.LogLines()), command);
        if (upsOff > 0) {
            ASSERT_EQ(switchOffs.size(), switchOffsBefore + 1) << command << " sent";
            // The two logs come from two processes, each woken on its own: the simulator can
            // read the command a few milliseconds after logind, reached through the bus, logs
            // the request written right behind it. Which goes first in the program is pinned by
            // the unit tests; here the UPS must have been told at the same moment.
            EXPECT_LE(switchOffs.back(), calls.back().ms + kSameMomentMs)
                << "the UPS was told well after the power request";
        }
        EXPECT_EQ(SwitchOffCommands(), anySwitchOffBefore + (upsOff > 0 ? 1 : 0))
            << "switch-off commands for one outage (none with \"никогда\")";

        // Mains back: the switch-off the UPS was told of is called off with them.
        ASSERT_TRUE(sim_.Send("mains on"));
        ASSERT_TRUE(sim_.Send("output on"));
        EXPECT_LE(ShowsRecordsAgain(volts), 4u);
        EXPECT_TRUE(clock_->RunUntil([this] { return live_->Main().State().ShutdownArmed; }, 4));
        EXPECT_FALSE(live_->Countdown().isVisible());
        EXPECT_EQ(logind_->Calls().size(), callsBefore + 1);
    }

    std::size_t SwitchOffCommands() const {
        const auto commands = sim_.Commands();
        return static_cast<std::size_t>(std::count_if(
            commands.begin(), commands.end(), [](const auto& c) { return c.rfind("S", 0) == 0; }));
    }

    PrivateBus bus_;
    std::unique_ptr<LogindStandin> logind_;
    PtySim sim_{PtySim::Options{{"--answer-delay", kAnswerDelayMs}}};
    QTemporaryDir folder_;
    QString previousFolder_;
    std::unique_ptr<LiveProgram> live_;
    std::unique_ptr<HandClock> clock_;
    std::vector<TickSeen> ticks_;
    std::vector<std::string> mounts_;  // undone in TearDown
};

// How the program takes a fault.
enum class Reaction {
    // Nothing shown, the link red from the next tick, for `downTicks` ticks.
    LinkDown,
    // The record is the right length but a field does not convert: an error box, the readings
    // before the bad field new, the power state untouched.
    BadField,
};

// Error boxes a fault may open.
enum class Box { None, One, AtMostOne };

struct LineFault {
    const char* name;
    std::vector<std::string> lines;  // control lines that start it
    Reaction reaction;
    std::size_t minDown;  // LinkDown: ticks without a record, at least
    std::size_t maxDown;  // and at most
    const char* endLine;  // sent once minDown ticks went by (silence), or nullptr
    Box box;
    const char* boxText;  // what the box says
};

// Every fault of the simulator. Split halves come 1.5 ticks apart, so each falls in a tick of
// its own and the second shares its tick with the next answer.
const LineFault kLineFaults[] = {
    {"split", {"split 0.3"}, Reaction::LinkDown, 2, 3, nullptr, Box::None, nullptr},
    {"short", {"short"}, Reaction::LinkDown, 1, 1, nullptr, Box::None, nullptr},
    {"long", {"long"}, Reaction::LinkDown, 1, 1, nullptr, Box::None, nullptr},
    {"double", {"double"}, Reaction::LinkDown, 1, 1, nullptr, Box::None, nullptr},
    {"garbage short", {"garbage 30"}, Reaction::LinkDown, 1, 1, nullptr, Box::None, nullptr},
    {"garbage long", {"garbage 500"}, Reaction::LinkDown, 1, 1, nullptr, Box::None, nullptr},
    {"flood", {"flood 4000"}, Reaction::LinkDown, 1, 1, nullptr, Box::None, nullptr},
    // Over 65535 bytes at once. A tick takes in at most 16 reads of what the terminal holds
    // (65,520 bytes from a pseudo-terminal), so the flood comes either whole, reported once as
    // too large and discarded, or in pieces that are each dropped. Either way nothing of it is
    // shown and the link recovers. How many ticks the pieces take depends on how fast the
    // terminal drains on a loaded machine, so the bound is loose.
    {"flood over 65535",
     {"flood 70000"},
     Reaction::LinkDown,
     1,
     8,
     nullptr,
     Box::AtMostOne,
     "Range check error."},
    {"silent, then on again",
     {"silent on"},
     Reaction::LinkDown,
     3,
     5,
     "silent off",
     Box::None,
     nullptr},
    {"silent, then cleared", {"silent on"}, Reaction::LinkDown, 3, 5, "clear", Box::None, nullptr},
    {"bad load",
     {"badload"},
     Reaction::BadField,
     0,
     0,
     nullptr,
     Box::One,
     "'0x?' is not a valid integer value."},
    {"bad battery",
     {"badbattery"},
     Reaction::BadField,
     0,
     0,
     nullptr,
     Box::One,
     "'1.' is not a valid integer value."},
};

TEST_F(FaultScenarios, EveryLineFaultThenRecordsAgainAndTheOutageShutsDown) {
    ASSERT_TRUE(sim_.Start()) << sim_.Output();
    StartProgram();
    ASSERT_LE(ShowsRecordsAgain("228.0"), 4u);

    int row = 0;
    for (const auto& fault : kLineFaults) {
        SCOPED_TRACE(fault.name);
        ++row;
        // Every row marks its records with voltages and a frequency of its own, so a record
        // shown from the wrong answer gives itself away.
        char volts[16];
        std::snprintf(volts, sizeof volts, "%05.1f", 200.0 + row);
        char frequency[16];
        std::snprintf(frequency, sizeof frequency, "%04.1f", 40.0 + row * 0.5);
        std::vector<std::string> lines = {std::string("mains ") + volts,
                                          std::string("freq ") + frequency};
        lines.insert(lines.end(), fault.lines.begin(), fault.lines.end());
        const std::size_t first = InjectAfterAnswer(lines);
        const TickSeen before = ticks_.back();
        ASSERT_TRUE(PumpTicks(2));
        // The first tick reads the answer that was already waiting: a good one.
        EXPECT_TRUE(ticks_[first].linkOk);
        EXPECT_EQ(ticks_[first].records, before.records + 1);
        EXPECT_EQ(ticks_[first].mains, before.mains) << "a record from before the marks";
        const std::size_t hit = first + 1;
        const TickSeen seen = ticks_[hit];
        const std::uint64_t recordsBefore = ticks_[first].records;

        if (fault.reaction == Reaction::BadField) {
            // The right length: the link counts as up, but the tick ends at the bad field with
            // one error box, before the power state is handled.
            EXPECT_TRUE(seen.linkOk);
            EXPECT_EQ(seen.records, recordsBefore) << "the power state was handled";
            EXPECT_EQ(Str(seen.mains), std::string(volts) + " V");
            EXPECT_EQ(seen.charge, before.charge);
            EXPECT_EQ(seen.boxes, 1);
            if (std::string(fault.name) == "bad load") {
                EXPECT_EQ(Str(seen.load), "0x? %");
                EXPECT_EQ(seen.frequency, before.frequency) << "shown past the bad load";
            } else {
                EXPECT_EQ(Str(seen.frequency), std::string(frequency) + " Hz");
                EXPECT_EQ(Str(seen.battery), "1.36 V");
            }
            // No query went out in that tick, so the next finds nothing waiting.
            ASSERT_TRUE(PumpTicks(1));
            EXPECT_FALSE(ticks_[hit + 1].linkOk);
            EXPECT_EQ(ticks_[hit + 1].records, recordsBefore);
            CloseTheOneBox(fault.boxText);
        } else {
            std::size_t down = 0;
            while (PumpTicks(1) && ticks_.size() < hit + fault.maxDown + 4 &&
                   !ticks_.back().linkOk) {
                if (fault.endLine != nullptr && ticks_.size() - hit == fault.minDown) {
                    EXPECT_TRUE(sim_.Send(fault.endLine));
                }
            }
            for (std::size_t i = hit; i < ticks_.size() && !ticks_[i].linkOk; ++i) {
                ++down;
                EXPECT_EQ(ticks_[i].records, recordsBefore) << "tick " << i - hit << " showed";
                EXPECT_EQ(ticks_[i].mains, before.mains) << "tick " << i - hit;
                if (i + 1 < ticks_.size()) {
                    EXPECT_EQ(ticks_[i + 1].list, kRed) << "tick after " << i - hit;
                }
            }
            EXPECT_GE(down, fault.minDown);
            EXPECT_LE(down, fault.maxDown);
            // Never more than the one box, and none where the fault gives no error.
            const int allowed = fault.box == Box::None ? 0 : 1;
            for (std::size_t i = hit; i < ticks_.size(); ++i) {
                EXPECT_LE(ticks_[i].boxes, allowed) << "boxes after tick " << i - hit;
            }
            if (!OpenBoxes().empty()) {
                CloseTheOneBox(fault.boxText);
            }
        }

        // Records again, then a few more ticks: no further box for the same fault.
        const std::size_t settled = ticks_.size();
        EXPECT_LE(ShowsRecordsAgain(volts), 4u);
        const std::size_t after = ticks_.size();
        ASSERT_TRUE(PumpTicks(2));
        for (std::size_t i = settled; i < ticks_.size(); ++i) {
            EXPECT_TRUE(i < after || ticks_[i].linkOk) << "tick " << i - after;
            EXPECT_EQ(ticks_[i].boxes, 0) << "a box again, tick " << i - settled;
        }
        OutageEndsInOneHibernate(row % 11, row % 2, volts);
        if (HasFatalFailure()) {
            return;
        }
    }
}

// Ways the simulator goes away: it exits and removes its link, or it is killed and the link is
// left pointing at a terminal that no longer exists. Either way it then starts again on the
// same path, with a new terminal behind it.
struct Disappearance {
    const char* name;
    void (PtySim::*end)();
};

// A terminal held open by the test.
class HeldTerminal {
public:
    explicit HeldTerminal(const std::string& path)
        : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {}
    ~HeldTerminal() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    HeldTerminal(const HeldTerminal&) = delete;
    HeldTerminal& operator=(const HeldTerminal&) = delete;
    bool IsOpen() const { return fd_ >= 0; }

private:
    int fd_;
};

const Disappearance kDisappearances[] = {{"exits", &PtySim::Stop}, {"killed", &PtySim::Kill}};

TEST_F(FaultScenarios, SimulatorGoneAndBackIsReopenedQuietly) {
    ASSERT_TRUE(sim_.Start()) << sim_.Output();
    // The test keeps each terminal's far end open until the next one is there, so that the
    // number of a terminal that went away cannot go to one another program opens meanwhile: the
    // link a killed simulator leaves behind must lead nowhere. Opened before the program opens
    // the terminal for itself alone.
    auto held = std::make_unique<HeldTerminal>(sim_.LinkPath());
    ASSERT_TRUE(held->IsOpen());
    StartProgram();
    ASSERT_LE(ShowsRecordsAgain("228.0"), 4u);

    int row = 0;
    for (const auto& way : kDisappearances) {
        SCOPED_TRACE(way.name);
        ++row;
        const std::size_t from = ticks_.size();
        (sim_.*way.end)();
        // The tick after the loss finds nothing; the one after that shows it.
        EXPECT_TRUE(clock_->RunUntil([this] { return ListColour() == kRed; }, 4));
        EXPECT_TRUE(clock_->RunUntil([this] { return !live_->Port().IsOpen(); }, 4))
            << "the hung-up port stayed open";
        // Attempts to reopen fail while nothing is there, and say nothing.
        ASSERT_TRUE(PumpTicks(9));
        EXPECT_FALSE(live_->Port().IsOpen());
        EXPECT_EQ(ListColour(), kRed);

        ASSERT_TRUE(sim_.Start()) << sim_.Output();
        held = std::make_unique<HeldTerminal>(sim_.LinkPath());
        ASSERT_TRUE(held->IsOpen());
        char volts[16];
        std::snprintf(volts, sizeof volts, "%05.1f", 210.0 + row);
        EXPECT_LE(ShowsRecordsAgain(volts), kRecoveryTicks) << "not reopened in time";
        for (std::size_t i = from; i < ticks_.size(); ++i) {
            EXPECT_EQ(ticks_[i].boxes, 0) << "an error box, tick " << i - from;
        }
        OutageEndsInOneHibernate(row * 4, row % 2, volts);
        if (HasFatalFailure()) {
            return;
        }
    }
}

TEST_F(FaultScenarios, PortHeldByAnotherProgramIsTakenOnceFree) {
    ASSERT_TRUE(sim_.Start()) << sim_.Output();
    // Another program holds the port the way programs using a serial port do (a lock file for
    // the port, and the terminal opened exclusively): this program itself, in a process of its
    // own, with "никогда" so that it never asks for power.
    ProgramProcess holder(bus_, sim_.LinkPath(), {{"CompOff", "6"}});
    ASSERT_TRUE(holder.Start()) << Str(holder.Error());
    ASSERT_TRUE(sim_.WaitForCommand("Q1", 1, 5s)) << Str(holder.Output());

    StartProgram();
    ASSERT_TRUE(PumpTicks(10));
    EXPECT_FALSE(live_->Port().IsOpen()) << "opened a port another program holds";
    for (std::size_t i = 0; i < ticks_.size(); ++i) {
        EXPECT_FALSE(ticks_[i].linkOk) << "tick " << i;
        EXPECT_EQ(ticks_[i].records, 0u) << "tick " << i;
        EXPECT_EQ(ticks_[i].list, kRed) << "tick " << i;
        EXPECT_EQ(ticks_[i].boxes, 0) << "tick " << i;
    }
    EXPECT_EQ(Str(Text("Label1")), "000.0 V");

    // The other program ends: the port is taken without anyone picking it again.
    const std::size_t from = ticks_.size();
    ASSERT_TRUE(holder.Stop());
    EXPECT_LE(ShowsRecordsAgain("219.0"), kRecoveryTicks) << "not reopened in time";
    for (std::size_t i = from; i < ticks_.size(); ++i) {
        EXPECT_EQ(ticks_[i].boxes, 0) << "an error box, tick " << i - from;
    }
    OutageEndsInOneHibernate(5, 1, "219.0");
}

// ---- Faults around the program ----------------------------------------------------------

// Records shown at all: these faults are about whether the port is polled, not how soon, so the
// bound only keeps a test from waiting long on a machine that is busy.
constexpr std::size_t kPolledTicks = 10;

// The device behind a link, as the system names it.
std::string DeviceOf(const std::string& link) {
    char device[4096];
    const ssize_t length = ::readlink(link.c_str(), device, sizeof device - 1);
    return length > 0 ? std::string(device, static_cast<std::size_t>(length)) : std::string();
}

bool SameDevice(const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
           first.st_rdev == second.st_rdev;
}

TEST_F(FaultScenarios, TwoErrorsAtStartUpAreBothShownOneAfterTheOther) {
    ASSERT_TRUE(sim_.Start()) << sim_.Output();
    const std::string ini = "[UPS]\r\nPorts=" + sim_.LinkPath() +
                            "\r\nCOMPort=0\r\nCompOff=abc\r\nOffMethod=1\r\nOffUPS=11\r\n";
    StartWith(ini);
    CloseTheOneBox("'abc' is not a valid integer value.");
    CloseTheOneBox("Range check error.");
    ASSERT_TRUE(PumpTicks(3));
    EXPECT_TRUE(OpenBoxes().empty());
    // Each bad value acts as its default, shown selected; the file keeps the user's text.
    EXPECT_EQ(Str(Combo("ComboBox1")->currentText()), "при отказе сети");
    EXPECT_EQ(Str(Combo("ComboBox3")->currentText()), "никогда");
    EXPECT_EQ(live_->Main().State().TriggerIndex, 0);
    EXPECT_EQ(live_->Main().State().UpsOffIndex, 0);
    // The port, chosen by its place, is remembered by its path beside it.
    EXPECT_EQ(fakes::ReadWhole(IniPath()), ini + "COMPortPath=" + sim_.LinkPath() + "\r\n");
    EXPECT_LE(ShowsRecordsAgain("228.0"), kPolledTicks);
}

TEST_F(FaultScenarios, BadMethodActsAsPowerOffAfterTheUpsSwitchOff) {
    ASSERT_TRUE(sim_.Start()) << sim_.Output();
    const std::string ini =
        "[UPS]\r\nPorts=" + sim_.LinkPath() +
        "\r\nCOMPort=0\r\nCompOff=0\r\nOffMethod=fast\r\nOffUPS=5\r\nOFFAfter=0\r\n";
    StartWith(ini);
    CloseTheOneBox("'fast' is not a valid integer value.");
    EXPECT_EQ(Str(Combo("ComboBox2")->currentText()), "Выключит компьютер");
    ASSERT_LE(ShowsRecordsAgain("228.0"), kPolledTicks);

    ASSERT_TRUE(sim_.Send("mains off"));
    ASSERT_TRUE(clock_->RunUntil([this] { return !logind_->Requests().isEmpty(); }, 8))
        << "no power request";
    EXPECT_EQ(logind_->Requests(), QStringList{"PowerOff false"});
    // The simulator may log the command a moment after logind logged the request behind it.
    ASSERT_TRUE(sim_.WaitForCommand("S05R0000")) << "the UPS was not told";
    const auto requests = ReadTimedLog(logind_->LogPath());
    const auto switchOffs = TimesOf(ParseTimedLines(sim_.LogLines()), "S05R0000");
    ASSERT_EQ(switchOffs.size(), 1u);
    EXPECT_LE(switchOffs[0], requests.back().ms + kSameMomentMs) << "the UPS was told late";
    EXPECT_EQ(fakes::ReadWhole(IniPath()), ini + "COMPortPath=" + sim_.LinkPath() + "\r\n");
}

TEST_F(FaultScenarios, ReadOnlyWorkingDirectoryStillOpensAndPollsThePort) {
    ASSERT_TRUE(sim_.Start()) << sim_.Output();
    const std::string ini = Settings(1, 0);
    WriteIni(ini);
    // The directory read-only for this thread, in a mount namespace of its own.
    const std::string dir = folder_.path().toStdString();
    ASSERT_TRUE(fakes::MountReadOnly(dir)) << "needs root: " << std::strerror(errno);
    mounts_.push_back(dir);
    ASSERT_TRUE(QDir::setCurrent(folder_.path()));
    StartLive();

    const QString refused = "Unable to write to " + IniPath() + ".";
    // The journal beside it cannot be written either: told first, once, and monitoring goes on.
    CloseTheOneBox("Unable to write to " + folder_.filePath("UPSZelto.log") + ".");
    CloseTheOneBox(refused);
    EXPECT_LE(ShowsRecordsAgain("227.0"), kPolledTicks) << "the port was not polled";
    ASSERT_TRUE(PumpTicks(3));
    EXPECT_TRUE(OpenBoxes().empty());

    // Opening the port list writes nothing, so it raises no box.
    Combo("ComboBox4")->showPopup();
    Combo("ComboBox4")->hidePopup();
    ASSERT_TRUE(PumpTicks(2));
    EXPECT_TRUE(OpenBoxes().empty()) << "opening the list tried to write";

    // A pick is refused too, once, and the port picked is in use all the same.
    emit Combo("ComboBox4")->activated(0);
    CloseTheOneBox(refused);
    EXPECT_LE(ShowsRecordsAgain("226.0"), kPolledTicks);
    EXPECT_TRUE(OpenBoxes().empty());
    EXPECT_EQ(fakes::ReadWhole(IniPath()), ini);
}

// Faults where the program takes its port from the system's list. The machine's own ports must
// never be opened here: in a mount namespace of this thread's own, each device the system lists
// is covered by the simulator's terminal, and checked to be it, before the program starts.
class SystemPortScenarios : public FaultScenarios {
protected:
    // The devices covered, in the list's order; none when the system lists no serial port.
    std::vector<std::string> CoverSystemPorts() {
        std::vector<std::string> devices;
        const auto ports = QSerialPortInfo::availablePorts();
        if (ports.isEmpty()) {
            return devices;
        }
        EXPECT_EQ(::unshare(CLONE_NEWNS), 0) << "needs root: " << std::strerror(errno);
        EXPECT_EQ(::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr), 0);
        const std::string terminal = DeviceOf(sim_.LinkPath());
        EXPECT_FALSE(terminal.empty());
        for (const QSerialPortInfo& port : ports) {
            const std::string device = port.systemLocation().toStdString();
            EXPECT_EQ(::mount(terminal.c_str(), device.c_str(), nullptr, MS_BIND, nullptr), 0)
                << device << ": " << std::strerror(errno);
            mounts_.push_back(device);
            if (!SameDevice(device, terminal)) {
                ADD_FAILURE() << device << " is not covered";
                return {};
            }
            devices.push_back(device);
        }
        return devices;
    }
    // No serial port at all, as with the only adapter unplugged: the system lists none, and no
    // device file is there to open.
    void HideSystemPorts() {
        for (const char* dir : {"/sys/class/tty", "/dev"}) {
            ASSERT_EQ(::mount("zelto-none", dir, "tmpfs", 0, "size=64k"), 0)
                << dir << ": " << std::strerror(errno);
        }
    }
    void ShowSystemPorts() {
        for (const char* dir : {"/dev", "/sys/class/tty"}) {
            ASSERT_EQ(::umount2(dir, MNT_DETACH), 0) << dir << ": " << std::strerror(errno);
        }
    }
    void StopLive() {
        clock_.reset();
        live_.reset();
    }
};

TEST_F(SystemPortScenarios, SettingsFileTooLargeToRewriteKeepsItsChoicesAndSaysWhy) {
    ASSERT_TRUE(sim_.Start()) << sim_.Output();
    const auto devices = CoverSystemPorts();
    ASSERT_FALSE(devices.empty()) << "the system lists no serial port for the simulator";

    // "никогда" and "Ждущий режим": a file grown past what is rewritten must not fall back to
    // the defaults, which would shut the machine down at the first outage.
    std::string ini = "[UPS]\r\nCompOff=6\r\nOffMethod=2\r\n";
    while (ini.size() <= 1024 * 1024) {
        ini += "; a line of a file that grew far too large to be a settings file\r\n";
    }
    StartWith(ini);
    // Remembering the port by its path is the one write start-up tries.
    CloseTheOneBox(IniPath() + " is too large (" + QString::number(ini.size()) +
                   " bytes) to be rewritten safely.");
    EXPECT_EQ(Str(Combo("ComboBox1")->currentText()), "никогда");
    EXPECT_EQ(Str(Combo("ComboBox2")->currentText()), "Ждущий режим");
    EXPECT_LE(ShowsRecordsAgain("225.0"), kPolledTicks) << "the first port was not polled";

    ASSERT_TRUE(sim_.Send("mains off"));
    ASSERT_TRUE(PumpTicks(8));
    EXPECT_TRUE(logind_->Calls().isEmpty()) << Str(logind_->Calls().join(", "));
    EXPECT_TRUE(OpenBoxes().empty());
    EXPECT_TRUE(fakes::ReadWhole(IniPath()) == ini) << "the file was changed";
}

// Only the port's place is stored: one start with the adapter, one with no serial port at all,
// one with the adapter back. The second must write nothing over the choice; the third must poll.
// Then a start without the adapter that gets it during the run takes it.
TEST_F(SystemPortScenarios, AStartWithoutTheAdapterKeepsTheChoiceAndItIsTakenWhenItComes) {
    ASSERT_TRUE(sim_.Start()) << sim_.Output();
    const auto devices = CoverSystemPorts();
    ASSERT_FALSE(devices.empty()) << "the system lists no serial port for the simulator";
    const std::string placeOnly = "[UPS]\r\nCOMPort=0\r\nCompOff=6\r\n";
    const std::string remembered = placeOnly + "COMPortPath=" + devices.front() + "\r\n";

    StartWith(placeOnly);
    EXPECT_LE(ShowsRecordsAgain("221.0"), kPolledTicks) << "the first start does not poll";
    EXPECT_EQ(fakes::ReadWhole(IniPath()), remembered);
    StopLive();

    HideSystemPorts();
    StartLive();
    ASSERT_TRUE(PumpTicks(2 * PortKeeper::kReopenTicks + 1));
    EXPECT_FALSE(live_->Port().IsOpen());
    EXPECT_TRUE(OpenBoxes().empty()) << "a missing port is no error";
    const std::string name = devices.front().substr(devices.front().rfind('/') + 1);
    EXPECT_EQ(Str(live_->Form().TrayTip()), "Порт UPS не найден: " + name);
    EXPECT_EQ(Str(Combo("ComboBox4")->currentText()), name);
    StopLive();
    EXPECT_EQ(fakes::ReadWhole(IniPath()), remembered) << "written over without a port";

    ShowSystemPorts();
    StartLive();
    EXPECT_LE(ShowsRecordsAgain("222.0"), kPolledTicks) << "the third start does not poll";
    EXPECT_EQ(fakes::ReadWhole(IniPath()), remembered);
    StopLive();

    HideSystemPorts();
    StartWith(placeOnly);
    ASSERT_TRUE(PumpTicks(PortKeeper::kReopenTicks + 1));
    EXPECT_EQ(Str(live_->Form().TrayTip()), "Порт UPS не найден");
    EXPECT_EQ(fakes::ReadWhole(IniPath()), placeOnly);
    ShowSystemPorts();
    EXPECT_LE(ShowsRecordsAgain("223.0"), kRecoveryTicks) << "not taken when it came";
    EXPECT_EQ(Str(Combo("ComboBox4")->currentText()), name);
    EXPECT_EQ(fakes::ReadWhole(IniPath()), remembered);
}

TEST_F(FaultScenarios, RefusedPowerRequestCancelsTheUpsSwitchOffAndIsShown) {
    RestartLogind({"--refuse",
                   "Hibernate=org.freedesktop.login1.SleepVerbNotSupported:Sleep verb not "
                   "supported"});
    ASSERT_TRUE(sim_.Start()) << sim_.Output();
    StartProgram();  // hibernate on mains failure, the UPS off after a minute, no countdown
    ASSERT_LE(ShowsRecordsAgain("228.0"), kPolledTicks);

    ASSERT_TRUE(sim_.Send("mains off"));
    WaitAndCloseTheOneBox(
        "Не удалось перевести компьютер в спящий режим: "
        "org.freedesktop.login1.SleepVerbNotSupported: Sleep verb not supported.");
    ASSERT_TRUE(sim_.WaitForCommand("C"));
    std::vector<std::string> commands = sim_.Commands();
    commands.erase(std::remove(commands.begin(), commands.end(), "Q1"), commands.end());
    EXPECT_EQ(commands, (std::vector<std::string>{"S01R0000", "C"}));
    EXPECT_TRUE(sim_.WaitForOutput("switch-off cancelled"));
    EXPECT_EQ(
        logind_->Requests(),
        QStringList{"Hibernate false (refused: org.freedesktop.login1.SleepVerbNotSupported)"});
}

TEST_F(FaultScenarios, RememberedPortAbsentAtStartUpIsOpenedWhenItAppears) {
    // Picked before by its path; the list names another port now, and the device is not there.
    const std::string ini = "[UPS]\r\nPorts=" + folder_.filePath("other").toStdString() +
                            "\r\nCOMPort=0\r\nCOMPortPath=" + sim_.LinkPath() + "\r\nCompOff=6\r\n";
    StartWith(ini);
    EXPECT_EQ(Str(Combo("ComboBox4")->currentText()), sim_.LinkPath());
    // Both ports, and the entry for a network UPS last.
    ASSERT_EQ(Combo("ComboBox4")->count(), 3);
    EXPECT_EQ(Str(Combo("ComboBox4")->itemText(2)), "Сетевой UPS…");
    ASSERT_TRUE(PumpTicks(2 * PortKeeper::kReopenTicks));
    EXPECT_FALSE(live_->Port().IsOpen());
    EXPECT_TRUE(OpenBoxes().empty()) << "a missing port is no error";

    ASSERT_TRUE(sim_.Start()) << sim_.Output();
    EXPECT_LE(ShowsRecordsAgain("224.0"), kRecoveryTicks) << "not opened in time";
    EXPECT_EQ(Str(Combo("ComboBox4")->currentText()), sim_.LinkPath());
    EXPECT_TRUE(OpenBoxes().empty());
    EXPECT_EQ(fakes::ReadWhole(IniPath()), ini) << "the choice was written over";
}

TEST_F(FaultScenarios, PortWithoutPermissionIsToldOnceThenOpenedWhenAllowed) {
    ASSERT_EQ(::geteuid(), 0u) << "needs root to stand in for another user";
    const group* dialout = ::getgrnam("dialout");
    ASSERT_NE(dialout, nullptr);
    const gid_t dialoutGid = dialout->gr_gid;
    // Started while the device is missing, which is quiet.
    StartWith("[UPS]\r\nPorts=" + sim_.LinkPath() + "\r\nCOMPort=0\r\nCompOff=6\r\n");
    ASSERT_TRUE(PumpTicks(1));
    EXPECT_TRUE(OpenBoxes().empty());

    // The device appears as a serial device of the group, and the program's file accesses are
    // those of a user outside it. Nothing of the program runs until the next tick.
    ASSERT_TRUE(sim_.Start()) << sim_.Output();
    const std::string device = DeviceOf(sim_.LinkPath());
    ASSERT_EQ(::chmod(sim_.Directory().c_str(), 0755), 0);
    ASSERT_EQ(::chown(device.c_str(), 0, dialoutGid), 0);
    ASSERT_EQ(::chmod(device.c_str(), 0660), 0);
    // Only the port is refused: the journal and the settings, where the port is remembered once
    // it opens, stay writable for the outsider.
    ASSERT_EQ(::chmod(folder_.path().toLocal8Bit().constData(), 0777), 0);
    ASSERT_EQ(::chmod(folder_.filePath("UPSZelto.log").toLocal8Bit().constData(), 0666), 0);
    {
        const FileAccessAs outsider(65534, 65534);
        WaitAndCloseTheOneBox(QString::fromStdString(
            "Нет доступа к порту " + sim_.LinkPath() +
            ": его могут открывать только члены группы dialout. Добавьте себя в неё командой "
            "«sudo usermod -aG dialout $USER», затем выйдите из системы и войдите снова. Пока "
            "порт закрыт, компьютер не защищён; программа откроет порт сама, как только доступ "
            "появится."));
        // Then quiet, trying again every few ticks.
        const std::size_t quiet = ticks_.size();
        ASSERT_TRUE(PumpTicks(3 * PortKeeper::kReopenTicks + 1));
        EXPECT_FALSE(live_->Port().IsOpen());
        for (std::size_t i = quiet; i < ticks_.size(); ++i) {
            EXPECT_EQ(ticks_[i].boxes, 0) << "tick " << i - quiet;
            EXPECT_FALSE(ticks_[i].linkOk) << "tick " << i - quiet;
        }
        for (QMessageBox* box : OpenBoxes()) {
            ADD_FAILURE() << "a box: " << Str(box->text());
        }
    }
    const std::size_t from = ticks_.size();
    {
        // Joined the group: taken at the next attempt, with nothing to say.
        const FileAccessAs member(65534, dialoutGid);
        EXPECT_LE(ShowsRecordsAgain("223.0"), kRecoveryTicks) << "not opened once allowed";
        for (std::size_t i = from; i < ticks_.size(); ++i) {
            EXPECT_EQ(ticks_[i].boxes, 0) << "tick " << i - from;
        }
    }
    EXPECT_EQ(fakes::ReadWhole(IniPath()),
              "[UPS]\r\nPorts=" + sim_.LinkPath() +
                  "\r\nCOMPort=0\r\nCompOff=6\r\nCOMPortPath=" + sim_.LinkPath() + "\r\n");
}

// Each answer logind can give about the chosen method, at start-up and when it is chosen.
struct MethodAnswer {
    const char* answer;     // logind's
    const char* hibernate;  // what the user is told about "Спящий режим"; nullptr: nothing
    const char* suspend;    // and about "Ждущий режим"
};

void PrintTo(const MethodAnswer& row, std::ostream* out) {
    *out << row.answer;
}

class MethodQuestion : public FaultScenarios, public ::testing::WithParamInterface<MethodAnswer> {};

TEST_P(MethodQuestion, AnswerIsToldOnceAndTheChoiceStays) {
    const MethodAnswer& row = GetParam();
    const QString answer = QString::fromLatin1(row.answer);
    RestartLogind({"--can", "Hibernate=" + answer, "--can", "Suspend=" + answer});
    ASSERT_TRUE(sim_.Start()) << sim_.Output();
    StartProgram();  // "Спящий режим"
    EXPECT_EQ(logind_->Questions(), QStringList{"CanHibernate " + answer});
    if (row.hibernate != nullptr) {
        CloseTheOneBox(QString::fromUtf8(row.hibernate));
    }
    ASSERT_LE(ShowsRecordsAgain("228.0"), kPolledTicks);
    ASSERT_TRUE(PumpTicks(2));
    EXPECT_TRUE(OpenBoxes().empty()) << "told more than once";
    EXPECT_EQ(Str(Combo("ComboBox2")->currentText()), "Спящий режим");
    EXPECT_EQ(Str(live_->Form().TrayTip()), "Питание от сети. Заряд батареи: 100%");

    // Chosen from the list: asked again, told again, and the choice is kept and stored.
    emit Combo("ComboBox2")->activated(2);
    EXPECT_EQ(logind_->Questions(),
              (QStringList{"CanHibernate " + answer, "CanSuspend " + answer}));
    if (row.suspend != nullptr) {
        WaitAndCloseTheOneBox(QString::fromUtf8(row.suspend));
    }
    ASSERT_TRUE(PumpTicks(2));
    EXPECT_TRUE(OpenBoxes().empty());
    EXPECT_EQ(live_->Main().State().MethodIndex, 2);
    EXPECT_NE(fakes::ReadWhole(IniPath()).find("OffMethod=2"), std::string::npos);
    EXPECT_EQ(Str(live_->Form().TrayTip()), "Питание от сети. Заряд батареи: 100%");
    EXPECT_TRUE(logind_->Requests().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Answers, MethodQuestion,
    ::testing::Values(
        MethodAnswer{"yes", nullptr, nullptr},
        MethodAnswer{
            "challenge",
            "Метод выключения «Спящий режим» не сработает при отказе сети: система спросит пароль "
            "администратора, а вводить его может быть некому. Разрешите это действие своему "
            "пользователю без пароля (правилом polkit) или выберите другой метод.",
            "Метод выключения «Ждущий режим» не сработает при отказе сети: система спросит пароль "
            "администратора, а вводить его может быть некому. Разрешите это действие своему "
            "пользователю без пароля (правилом polkit) или выберите другой метод."},
        MethodAnswer{
            "no",
            "Метод выключения «Спящий режим» не сработает при отказе сети: система не разрешает "
            "его вашему пользователю. Попросите администратора разрешить его или выберите другой "
            "метод.",
            "Метод выключения «Ждущий режим» не сработает при отказе сети: система не разрешает "
            "его вашему пользователю. Попросите администратора разрешить его или выберите другой "
            "метод."},
        MethodAnswer{
            "na",
            "Метод выключения «Спящий режим» не сработает при отказе сети: спящий режим на этом "
            "компьютере не настроен или не поддерживается. Настройте его (в Linux ему нужен "
            "раздел или файл подкачки не меньше объёма памяти, в Windows его включает «powercfg "
            "/hibernate on») или выберите другой метод.",
            "Метод выключения «Ждущий режим» не сработает при отказе сети: ждущий режим на этом "
            "компьютере отключён или не поддерживается. Включите его в настройках системы или "
            "выберите другой метод."}),
    [](const ::testing::TestParamInfo<MethodAnswer>& info) {
        return std::string(info.param.answer);
    });

}  // namespace
}  // namespace zelto::test
