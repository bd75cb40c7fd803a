// The shutdown end to end: the real program on the UPS simulator, with the logind stand-in on a
// private bus taking the power requests. An outage on the real clock, the program in a process of
// its own; mains coming back during the countdown and a refused request with the program in this
// process and its timers fired by hand. Told apart by what the simulator and the stand-in logged.
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/hand_clock.h"
#include "support/live_program.h"
#include "support/private_bus.h"
#include "support/program_process.h"
#include "support/pty_sim.h"
#include "support/timed_log.h"

namespace zelto::test {
namespace {

using namespace std::chrono_literals;

// "при отказе сети", "Спящий режим", "5 минут".
const ProgramProcess::Settings kHibernateOnFailure = {
    {"CompOff", "0"}, {"OffMethod", "1"}, {"OffUPS", "5"}};

ProgramProcess::Settings With(ProgramProcess::Settings settings, const std::string& offAfter) {
    settings.emplace_back("OFFAfter", offAfter);
    return settings;
}

std::size_t CountOf(const std::vector<std::string>& commands, const std::string& command) {
    return static_cast<std::size_t>(std::count(commands.begin(), commands.end(), command));
}

void SleepUntilMs(std::int64_t ms) {
    const std::int64_t left = ms - NowMs();
    if (left > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(left));
    }
}

class ShutdownProcess : public ::testing::Test {
protected:
    void StartAll(const ProgramProcess::Settings& settings, const QStringList& standin = {}) {
        ASSERT_TRUE(bus_.Started()) << bus_.Error().toStdString();
        logind_ = std::make_unique<LogindStandin>(bus_, standin);
        ASSERT_TRUE(logind_->Started()) << logind_->Error().toStdString();
        ASSERT_TRUE(sim_.Start()) << sim_.Output();
        program_ = std::make_unique<ProgramProcess>(bus_, sim_.LinkPath(), settings);
        ASSERT_TRUE(program_->Start()) << program_->Error().toStdString();
        // The start-up query and the timer's first: the program polls.
        ASSERT_TRUE(sim_.WaitForCommand("Q1", 2, 5s)) << program_->Output().toStdString();
    }

    // On failure, the whole story: what the UPS received and what logind was asked.
    void TearDown() override {
        if (!HasFailure()) {
            return;
        }
        for (const auto& line : sim_.LogLines()) {
            std::printf("  ups-sim: %s\n", line.c_str());
        }
        if (logind_) {
            for (const auto& call : Calls()) {
                std::printf("  logind:  %lld %s\n", static_cast<long long>(call.ms),
                            call.text.c_str());
            }
        }
    }

    std::vector<TimedLine> SimLog() const { return ParseTimedLines(sim_.LogLines()); }
    std::vector<TimedLine> Calls() const { return ReadTimedLog(logind_->LogPath()); }
    std::size_t Queries() const { return TimesOf(SimLog(), "Q1").size(); }

    // The time of the first status query logged after the latest line `text`, waiting for it.
    std::int64_t QueryAfter(const std::string& text) const {
        std::int64_t found = 0;
        PtySim::WaitFor(5s, [&] {
            const auto log = SimLog();
            bool seen = false;
            found = 0;
            for (const auto& line : log) {
                if (line.text == text) {
                    seen = true;
                    found = 0;
                } else if (seen && found == 0 && line.text == "Q1") {
                    found = line.ms;
                }
            }
            return found != 0;
        });
        return found;
    }

    // Mains fail right after an answer went out, so that the next query is the first one
    // answered on battery. Returns that query's time: the tick a second later reads the answer
    // and opens the countdown.
    std::int64_t FailMains() {
        const std::size_t before = Queries();
        EXPECT_TRUE(sim_.WaitForCommand("Q1", before + 1, 3s));
        // The answer leaves about 196 ms after its query.
        SleepUntilMs(TimesOf(SimLog(), "Q1").back() + 350);
        EXPECT_TRUE(sim_.Send("mains off"));
        const std::int64_t query = QueryAfter("# mains off");
        EXPECT_NE(query, 0) << "no query after the failure";
        return query;
    }

    // Waits until `count` more queries than `before` have been logged: the program still polls.
    bool KeepsPolling(std::size_t before, std::size_t count) const {
        return sim_.WaitForCommand("Q1", before + count, std::chrono::seconds(count + 2));
    }

    PrivateBus bus_;
    std::unique_ptr<LogindStandin> logind_;
    PtySim sim_;
    std::unique_ptr<ProgramProcess> program_;
};

TEST_F(ShutdownProcess, OutageSendsTheUpsSwitchOffThenHibernatesOnce) {
    StartAll(With(kHibernateOnFailure, "2"));
    // Without a polling program there is no query to time the failure from.
    if (HasFatalFailure()) {
        return;
    }
    const std::int64_t query = FailMains();

    ASSERT_TRUE(logind_->WaitForCalls(1, 7000)) << program_->Output().toStdString();
    // Time enough for a second request, if one were coming.
    std::this_thread::sleep_for(1500ms);
    EXPECT_EQ(logind_->Calls(), QStringList{"Hibernate false"});
    const auto calls = Calls();
    ASSERT_EQ(calls.size(), 1u);

    const auto switchOffs = TimesOf(SimLog(), "S05R0000");
    ASSERT_EQ(switchOffs.size(), 1u) << "the UPS did not get S05R0000 exactly once";
    // Two processes log these, each woken on its own, so the simulator may log a few
    // milliseconds behind logind; the order within the program is pinned by the unit tests.
    EXPECT_LE(switchOffs[0], calls[0].ms + kSameMomentMs) << "hibernated before the UPS was told";
    EXPECT_TRUE(sim_.WaitForOutput("switch-off in 05 min"));
    // The countdown opens a second after that query and runs its two seconds.
    EXPECT_GE(calls[0].ms - query, 2700) << "the countdown was cut short";
    EXPECT_LE(calls[0].ms - query, 4200) << "the request came late";
}

// The same program in this process, its timers fired by hand (support/hand_clock.h): the polls
// and the countdown's seconds come as fast as the simulator answers, and what follows the mains
// is counted in ticks rather than waited out in seconds.
class ShutdownLive : public ::testing::Test {
protected:
    void StartAll(const std::string& settings, const QStringList& standin = {}) {
        ASSERT_TRUE(bus_.Started()) << bus_.Error().toStdString();
        logind_ = std::make_unique<LogindStandin>(bus_, standin);
        ASSERT_TRUE(logind_->Started()) << logind_->Error().toStdString();
        ASSERT_TRUE(sim_.Start()) << sim_.Output();
        ASSERT_TRUE(folder_.isValid());
        const std::string ini =
            "[UPS]\r\nPorts=" + sim_.LinkPath() + "\r\nCOMPort=0\r\n" + settings;
        QFile file(folder_.filePath("UPSZelto.ini"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(ini.data(), static_cast<qint64>(ini.size()));
        file.close();
        previousFolder_ = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(folder_.path()));

        live_ = std::make_unique<LiveProgram>(bus_.Address());
        live_->Start();
        clock_ = std::make_unique<HandClock>(*live_, 300ms);
        ASSERT_TRUE(clock_->CanCountDown());
        showings_.clock = clock_.get();
        live_->Countdown().installEventFilter(&showings_);
        ASSERT_TRUE(clock_->RunUntil([this] { return State().RecordSequence > 0; }, 4))
            << "no record shown";
    }

    void TearDown() override {
        clock_.reset();
        live_.reset();
        if (!previousFolder_.isEmpty()) {
            QDir::setCurrent(previousFolder_);
        }
        if (!HasFailure()) {
            return;
        }
        for (const auto& line : sim_.LogLines()) {
            std::printf("  ups-sim: %s\n", line.c_str());
        }
        for (const auto& call : logind_ ? logind_->Calls() : QStringList()) {
            std::printf("  logind:  %s\n", call.toStdString().c_str());
        }
    }

    const ProgramState& State() { return live_->Main().State(); }
    std::size_t Queries() const { return CountOf(sim_.Commands(), "Q1"); }

    // Counts the countdown's showings and remembers the tick of the latest.
    class Showings : public QObject {
    public:
        const HandClock* clock = nullptr;
        int count = 0;
        std::size_t lastTick = 0;

    protected:
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Show) {
                ++count;
                lastTick = clock->Ticks();
            }
            return false;
        }
    };

    PrivateBus bus_;
    std::unique_ptr<LogindStandin> logind_;
    PtySim sim_{PtySim::Options{{"--answer-delay", "20"}}};
    QTemporaryDir folder_;
    QString previousFolder_;
    std::unique_ptr<LiveProgram> live_;
    std::unique_ptr<HandClock> clock_;
    Showings showings_;
};

// "при отказе сети", "Спящий режим", "5 минут", a three-second countdown.
const char* const kHibernateInThree = "CompOff=0\r\nOffMethod=1\r\nOffUPS=5\r\nOFFAfter=3\r\n";

TEST_F(ShutdownLive, MainsBackDuringTheCountdownSendsNothingAndRequestsNothing) {
    StartAll(kHibernateInThree);
    // The first poll inside the countdown sees the mains back.
    bool sent = false;
    clock_->afterTick = [&] {
        if (!sent && live_->Countdown().isVisible()) {
            sent = true;
            EXPECT_TRUE(sim_.Send("mains on"));
        }
    };
    ASSERT_TRUE(sim_.Send("mains off"));
    // Until well after the three seconds would have run out.
    ASSERT_TRUE(clock_->RunTicks(10));
    EXPECT_TRUE(sent) << "no countdown on mains failure";
    EXPECT_EQ(showings_.count, 1);
    EXPECT_FALSE(live_->Countdown().isVisible());
    EXPECT_TRUE(State().ShutdownArmed) << "not armed again by the mains";
    EXPECT_TRUE(logind_->Calls().empty()) << "power request despite mains back";
    EXPECT_EQ(CountOf(sim_.Commands(), "S05R0000"), 0u) << "UPS told to switch off";
    const std::size_t before = Queries();
    ASSERT_TRUE(clock_->RunTicks(2));
    EXPECT_TRUE(sim_.WaitForCommand("Q1", before + 2)) << "the program stopped polling";
}

TEST_F(ShutdownLive, MainsBackAndFailingAgainStartsASecondCountdown) {
    StartAll(kHibernateInThree);
    bool back = false;
    clock_->afterTick = [&] {
        if (!back && live_->Countdown().isVisible()) {
            back = true;
            EXPECT_TRUE(sim_.Send("mains on"));
        }
    };
    ASSERT_TRUE(sim_.Send("mains off"));
    // The tick that reads mains back cancels the countdown and re-arms the trigger.
    ASSERT_TRUE(clock_->RunUntil([&] { return back && State().ShutdownArmed; }, 8));
    ASSERT_EQ(showings_.count, 1);
    EXPECT_FALSE(live_->Countdown().isVisible());

    clock_->afterTick = nullptr;
    ASSERT_TRUE(sim_.Send("mains off"));
    ASSERT_TRUE(clock_->RunUntil([&] { return !logind_->Calls().empty(); }, 10))
        << "no power request after the second failure";
    const std::size_t requestTick = clock_->Ticks();
    // Time enough for a second request, if one were coming.
    ASSERT_TRUE(clock_->RunTicks(3));
    EXPECT_EQ(logind_->Calls(), QStringList{"Hibernate false"});
    EXPECT_EQ(showings_.count, 2);
    // The request ends the second countdown, its three seconds after it showed.
    EXPECT_GE(requestTick, showings_.lastTick + 3);
    EXPECT_LE(requestTick, showings_.lastTick + 5);
    const auto calls = ReadTimedLog(logind_->LogPath());
    const auto switchOffs = TimesOf(ParseTimedLines(sim_.LogLines()), "S05R0000");
    ASSERT_EQ(calls.size(), 1u);
    ASSERT_EQ(switchOffs.size(), 1u);
    EXPECT_LE(switchOffs[0], calls[0].ms + kSameMomentMs);
}

TEST_F(ShutdownLive, RefusedRequestLeavesTheProgramPolling) {
    // "никогда" for the UPS: only the power request goes out, and logind refuses it.
    StartAll("CompOff=0\r\nOffMethod=1\r\nOffUPS=0\r\nOFFAfter=0\r\n",
             {"--refuse",
              "Hibernate=org.freedesktop.login1.SleepVerbNotSupported:Sleep verb not supported"});
    ASSERT_TRUE(sim_.Send("mains off"));
    ASSERT_TRUE(clock_->RunUntil([&] { return !logind_->Calls().empty(); }, 6))
        << "no power request after the mains failed";
    EXPECT_EQ(
        logind_->Calls(),
        QStringList{"Hibernate false (refused: org.freedesktop.login1.SleepVerbNotSupported)"});
    // The refusal is shown in a box that blocks nothing: the polls go on.
    const std::size_t before = Queries();
    ASSERT_TRUE(clock_->RunTicks(2));
    EXPECT_TRUE(sim_.WaitForCommand("Q1", before + 2)) << "the program stopped polling";
    for (const auto& command : sim_.Commands()) {
        EXPECT_EQ(command, "Q1") << "no command to the UPS with \"никогда\"";
    }
    EXPECT_EQ(logind_->Calls().size(), 1);
}

}  // namespace
}  // namespace zelto::test
