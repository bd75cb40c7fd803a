// The shutdown end to end: the real program on the UPS simulator, with the logind stand-in on a
// private bus taking the power requests. An outage on the real clock, the program in a process of
// its own; mains coming back during the countdown and a refused request with the program in this
// process and its timers fired by hand. Told apart by what the simulator and the stand-in logged,
// and by the program's own journal, which must hold the story in order and whole lines only, also
// when the program is killed.
#include <QEvent>
#include <QFile>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "support/hand_clock.h"
#include "support/live_program.h"
#include "support/private_bus.h"
#include "support/program_process.h"
#include "support/pty_sim.h"
#include "support/settings_folder.h"
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

// A journal line as it must look: local time with its offset, the event, then its fields.
const std::regex kJournalLine(
    R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d [a-z-]+( [a-z]+=("([^"\\]|\\.)*"|[^ "]*))*)");

struct JournalText {
    std::string bytes;               // the whole file
    std::vector<std::string> lines;  // its lines, without their ends
    std::vector<std::string> words;  // the event of each line
};

JournalText ReadJournal(const QString& path) {
    JournalText journal;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return journal;
    }
    journal.bytes = file.readAll().toStdString();
    std::size_t start = 0;
    for (std::size_t end = journal.bytes.find('\n'); end != std::string::npos;
         end = journal.bytes.find('\n', start)) {
        const std::string line = journal.bytes.substr(start, end - start);
        journal.lines.push_back(line);
        const auto first = line.find(' ');
        const auto second = line.find(' ', first + 1);
        journal.words.push_back(first == std::string::npos
                                    ? std::string()
                                    : line.substr(first + 1, second == std::string::npos
                                                                 ? std::string::npos
                                                                 : second - first - 1));
        start = end + 1;
    }
    return journal;
}

std::string Joined(const std::vector<std::string>& words) {
    std::string text;
    for (const auto& word : words) {
        text += (text.empty() ? "" : " ") + word;
    }
    return text;
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

    // The one question start-up asks, with the stand-in's answer.
    void AskedOnce(const char* question) {
        EXPECT_TRUE(logind_->WaitForCalls(1, 5000));
        EXPECT_EQ(logind_->Questions(), QStringList{QString::fromUtf8(question)});
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
    // The power requests logind received, without the start-up's question whether the method
    // would be carried out.
    std::vector<TimedLine> Calls() const {
        auto calls = ReadTimedLog(logind_->LogPath());
        calls.erase(
            std::remove_if(calls.begin(), calls.end(),
                           [](const TimedLine& call) { return call.text.rfind("Can", 0) == 0; }),
            calls.end());
        return calls;
    }
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
    AskedOnce("CanHibernate yes");
    const std::int64_t query = FailMains();

    ASSERT_TRUE(logind_->WaitForRequests(1, 7000)) << program_->Output().toStdString();
    // Time enough for a second request, if one were coming.
    std::this_thread::sleep_for(1500ms);
    EXPECT_EQ(logind_->Requests(), QStringList{"Hibernate false"});
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
        const std::string ini =
            "[UPS]\r\nPorts=" + sim_.LinkPath() + "\r\nCOMPort=0\r\n" + settings;
        ASSERT_TRUE(folder_.Enter(ini));

        live_ = std::make_unique<LiveProgram>(bus_.Address());
        live_->Start();
        clock_ = std::make_unique<HandClock>(*live_, 300ms);
        showings_.clock = clock_.get();
        live_->Countdown().installEventFilter(&showings_);
        ASSERT_TRUE(clock_->RunUntil([this] { return State().RecordsHandled > 0; }, 4))
            << "no record shown";
    }

    void TearDown() override {
        clock_.reset();
        live_.reset();
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
    fakes::SettingsFolder folder_;
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
    EXPECT_TRUE(logind_->Requests().empty()) << "power request despite mains back";
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
    ASSERT_TRUE(clock_->RunUntil([&] { return !logind_->Requests().empty(); }, 10))
        << "no power request after the second failure";
    const std::size_t requestTick = clock_->Ticks();
    // Time enough for a second request, if one were coming.
    ASSERT_TRUE(clock_->RunTicks(3));
    EXPECT_EQ(logind_->Requests(), QStringList{"Hibernate false"});
    EXPECT_EQ(showings_.count, 2);
    // The request ends the second countdown, its three seconds after it showed.
    EXPECT_GE(requestTick, showings_.lastTick + 3);
    EXPECT_LE(requestTick, showings_.lastTick + 5);
    auto calls = ReadTimedLog(logind_->LogPath());
    calls.erase(
        std::remove_if(calls.begin(), calls.end(),
                       [](const TimedLine& call) { return call.text.rfind("Can", 0) == 0; }),
        calls.end());
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
    ASSERT_TRUE(clock_->RunUntil([&] { return !logind_->Requests().empty(); }, 6))
        << "no power request after the mains failed";
    EXPECT_EQ(
        logind_->Requests(),
        QStringList{"Hibernate false (refused: org.freedesktop.login1.SleepVerbNotSupported)"});
    // The refusal is shown in a box that blocks nothing: the polls go on.
    const std::size_t before = Queries();
    ASSERT_TRUE(clock_->RunTicks(2));
    EXPECT_TRUE(sim_.WaitForCommand("Q1", before + 2)) << "the program stopped polling";
    for (const auto& command : sim_.Commands()) {
        EXPECT_EQ(command, "Q1") << "no command to the UPS with \"никогда\"";
    }
    EXPECT_EQ(logind_->Requests().size(), 1);
}

TEST_F(ShutdownProcess, KilledMidRunTheJournalHoldsWholeLinesOfEverythingBefore) {
    // "никогда": the mains come and go without a countdown.
    StartAll({{"CompOff", "6"}});
    if (HasFatalFailure()) {
        return;
    }
    const QString path = program_->Directory() + "/UPSZelto.log";
    const auto journalled = [&](const std::string& word, std::size_t count) {
        return PtySim::WaitFor(5s, [&] {
            const auto words = ReadJournal(path).words;
            return static_cast<std::size_t>(std::count(words.begin(), words.end(), word)) >= count;
        });
    };
    ASSERT_TRUE(sim_.Send("mains off"));
    ASSERT_TRUE(journalled("mains-lost", 1));
    ASSERT_TRUE(sim_.Send("mains on"));
    ASSERT_TRUE(journalled("mains-back", 1));
    ASSERT_TRUE(sim_.Send("flags 01001001"));
    ASSERT_TRUE(journalled("battery-low", 1));
    // No chance to write anything more.
    ASSERT_TRUE(program_->Kill());

    const JournalText killed = ReadJournal(path);
    ASSERT_FALSE(killed.bytes.empty());
    EXPECT_EQ(killed.bytes.back(), '\n') << "the last line was cut";
    EXPECT_EQ(Joined(killed.words), "start mains-lost mains-back battery-low");
    for (const auto& line : killed.lines) {
        EXPECT_TRUE(std::regex_match(line, kJournalLine)) << line;
    }
    EXPECT_NE(killed.lines[1].find(" mains=0.0V "), std::string::npos) << killed.lines[1];

    // Started again on the same folder, the program goes on with the same journal.
    ASSERT_TRUE(program_->Start()) << program_->Error().toStdString();
    ASSERT_TRUE(journalled("battery-low", 2)) << program_->Output().toStdString();
    EXPECT_TRUE(program_->Stop());
    const JournalText again = ReadJournal(path);
    EXPECT_EQ(again.bytes.substr(0, killed.bytes.size()), killed.bytes);
    EXPECT_EQ(Joined(again.words),
              "start mains-lost mains-back battery-low start battery-low exit");
    for (const auto& line : again.lines) {
        EXPECT_TRUE(std::regex_match(line, kJournalLine)) << line;
    }
}

TEST_F(ShutdownLive, TheJournalTellsARefusedOutageInOrder) {
    // A two-second countdown, then "5 минут" for the UPS and hibernation, which logind refuses.
    StartAll("CompOff=0\r\nOffMethod=1\r\nOffUPS=5\r\nOFFAfter=2\r\n",
             {"--refuse",
              "Hibernate=org.freedesktop.login1.SleepVerbNotSupported:Sleep verb not supported"});
    ASSERT_TRUE(sim_.Send("mains off"));
    ASSERT_TRUE(clock_->RunUntil([&] { return sim_.WaitForCommand("C", 1, 0ms); }, 10))
        << "the UPS switch-off was not called off";
    ASSERT_TRUE(sim_.Send("mains on"));
    ASSERT_TRUE(clock_->RunUntil([&] { return State().ShutdownArmed; }, 6));
    ASSERT_TRUE(clock_->RunTicks(1));
    // The program ends as "Закрыть" ends it.
    clock_.reset();
    live_.reset();

    const JournalText journal = ReadJournal(folder_.filePath("UPSZelto.log"));
    EXPECT_EQ(Joined(journal.words),
              "start mains-lost countdown-started countdown-finished ups-switch-off-sent "
              "power-request power-refused ups-cancel-sent error mains-back exit");
    for (const auto& line : journal.lines) {
        EXPECT_TRUE(std::regex_match(line, kJournalLine)) << line;
    }
    ASSERT_EQ(journal.lines.size(), 11u);
    const auto endsWith = [&](std::size_t index, const std::string& end) {
        const std::string& line = journal.lines[index];
        EXPECT_TRUE(line.size() >= end.size() &&
                    line.compare(line.size() - end.size(), end.size(), end) == 0)
            << line << "\n  should end with: " << end;
    };
    endsWith(1, " mains=0.0V battery=13.6V charge=100% load=15%");
    endsWith(2, " seconds=2");
    endsWith(4, " minutes=5");
    endsWith(5, " action=hibernate");
    endsWith(6,
             " action=hibernate reason=\"org.freedesktop.login1.SleepVerbNotSupported: Sleep "
             "verb not supported\"");
    endsWith(8,
             " text=\"Не удалось перевести компьютер в спящий режим: "
             "org.freedesktop.login1.SleepVerbNotSupported: Sleep verb not supported.\"");
    endsWith(10, " exit");
    EXPECT_EQ(journal.bytes.back(), '\n');
}

}  // namespace
}  // namespace zelto::test
