// The poll cycle end to end over a real pseudo-terminal with the UPS simulator: the rhythm of
// the queries the real program sends, and what the real window shows of the answers, the
// beeper click and a link that goes away.
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QMouseEvent>
#include <QPalette>
#include <QProgressBar>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "qt/images.h"
#include "support/event_pump.h"
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

// The real program as a process: one query at start-up, then one a second.
TEST(PollRhythm, OneQueryAtStartUpThenOneASecond) {
    PrivateBus bus;
    ASSERT_TRUE(bus.Started()) << bus.Error().toStdString();
    LogindStandin logind(bus);
    ASSERT_TRUE(logind.Started()) << logind.Error().toStdString();
    PtySim sim;
    ASSERT_TRUE(sim.Start()) << sim.Output();
    ProgramProcess program(bus, sim.LinkPath(), {{"CompOff", "6"}});
    ASSERT_TRUE(program.Start()) << program.Error().toStdString();

    // The start-up query and nine more, about nine seconds.
    constexpr std::size_t kQueries = 10;
    ASSERT_TRUE(sim.WaitForCommand("Q1", kQueries, 15s)) << program.Output().toStdString();
    EXPECT_TRUE(program.Running());
    const auto queries = TimesOf(ParseTimedLines(sim.LogLines()), "Q1");
    ASSERT_GE(queries.size(), kQueries);

    // Start-up sends the first query itself, without waiting for the timer.
    EXPECT_LE(queries[0] - program.StartedMs(), 2000) << "first query long after start-up";
    // Only one query at start-up: the next is the timer's, a second later.
    const std::int64_t firstGap = queries[1] - queries[0];
    EXPECT_GE(firstGap, 850);
    EXPECT_LE(firstGap, 1200);

    std::vector<std::int64_t> gaps;
    for (std::size_t i = 2; i < kQueries; ++i) {
        gaps.push_back(queries[i] - queries[i - 1]);
    }
    const double mean =
        std::accumulate(gaps.begin(), gaps.end(), 0.0) / static_cast<double>(gaps.size());
    EXPECT_NEAR(mean, 1000.0, 50.0) << "mean interval over " << gaps.size() << " queries";
    EXPECT_LE(*std::max_element(gaps.begin(), gaps.end()), 1500) << "a poll went missing";
    // Nothing but status queries: no beeper toggles, no switch-off.
    for (const auto& command : sim.Commands()) {
        EXPECT_EQ(command, "Q1");
    }
    // Under "никогда" nothing will ever be asked of the system, so start-up asked nothing.
    EXPECT_EQ(logind.Calls(), QStringList{});
}

bool SameImage(const QPixmap& a, const QPixmap& b) {
    return !a.isNull() && !b.isNull() && a.toImage() == b.toImage();
}

// The whole program in this process, on the simulator, in a working folder of its own. Its
// ticks come by hand, each as soon as the answer to the last query is in.
class LiveWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bus_.Started()) << bus_.Error().toStdString();
        ASSERT_TRUE(logind_.Started()) << logind_.Error().toStdString();
        ASSERT_TRUE(sim_.Start()) << sim_.Output();
        const std::string ini =
            "[UPS]\r\nPorts=" + sim_.LinkPath() + "\r\nCOMPort=0\r\nCompOff=6\r\n";
        ASSERT_TRUE(folder_.Enter(ini));

        live_ = std::make_unique<LiveProgram>(bus_.Address());
        live_->Start();
        // Open, as the user looking at the readings has it: only an open window shows them.
        live_->Form().ShowHideExecute();
        clock_ = std::make_unique<HandClock>(*live_);
    }
    void TearDown() override {
        clock_.reset();
        live_.reset();
    }

    template <class T = QWidget>
    T* Control(const char* name) {
        T* control = live_->Form().Window().findChild<T*>(name);
        EXPECT_NE(control, nullptr) << name;
        return control;
    }
    QString Text(const char* label) { return Control<QLabel>(label)->text(); }
    QColor ListColour() { return Control<QComboBox>("ComboBox4")->palette().color(QPalette::Text); }
    QPixmap Beeper() { return Control<QLabel>("Image5")->pixmap(); }

    // Waits for the first record: the readings leave their design-time texts.
    bool WaitForRecord() {
        return clock_->RunUntil([this] { return Text("Label1") == "228.0 V"; }, 4);
    }

    void Click(QWidget* widget) {
        const QPointF centre = QRectF(widget->rect()).center();
        const QPointF global = widget->mapToGlobal(centre);
        QMouseEvent press(QEvent::MouseButtonPress, centre, global, Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(widget, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, centre, global, Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(widget, &release);
    }

    PrivateBus bus_;
    // Start-up asks it whether the method would be carried out.
    LogindStandin logind_{bus_};
    PtySim sim_;
    fakes::SettingsFolder folder_;
    std::unique_ptr<LiveProgram> live_;
    std::unique_ptr<HandClock> clock_;
};

TEST_F(LiveWindow, ShowsTheSimulatorsRecordInEveryReading) {
    // Before the first answer: the design-time texts and a red list (no record yet).
    EXPECT_EQ(Text("Label1"), "000.0 V");
    ASSERT_TRUE(WaitForRecord()) << "no record shown; Label1 is " << Text("Label1").toStdString();

    EXPECT_EQ(Text("Label1"), "228.0 V");
    EXPECT_EQ(Text("Label2"), "228.0 V");
    EXPECT_EQ(Text("Label3"), "228.0 V");
    EXPECT_EQ(Text("Label4"), "015 %");
    EXPECT_EQ(Control<QProgressBar>("ProgressBar1")->value(), 15);
    EXPECT_EQ(Text("Label5"), "50.0 Hz");
    EXPECT_EQ(Text("Label6"), "13.6 V");
    EXPECT_EQ(Text("Label7"), "35.0 °C");
    EXPECT_TRUE(SameImage(Beeper(), ListImage32(11))) << "not the beeper-on picture";
    // Mains present: the mains tip, the on-battery clock hidden, 13.6 V on mains is full.
    EXPECT_EQ(live_->Form().TrayTip(), "Питание от сети. Заряд батареи: 100%");
    EXPECT_FALSE(Control<QLabel>("Label22")->isVisibleTo(&live_->Form().Window()));
    EXPECT_EQ(Text("Label20"), "100 %");

    // The list turns black on the tick after the record.
    EXPECT_TRUE(clock_->RunUntil([this] { return ListColour() == QColor(Qt::black); }, 1))
        << "link still shown as " << ListColour().name().toStdString();
    EXPECT_EQ(live_->Errors().OpenBox(), nullptr);
}

TEST_F(LiveWindow, BeeperPictureFollowsTheClickThroughTheUps) {
    ASSERT_TRUE(WaitForRecord());
    ASSERT_TRUE(SameImage(Beeper(), ListImage32(11)));

    Click(Control<QLabel>("Image5"));
    ASSERT_TRUE(sim_.WaitForCommand("Q", 1, 2s)) << "the toggle did not reach the UPS";
    // Nothing changes at once: the picture waits for a record that says so.
    EXPECT_TRUE(SameImage(Beeper(), ListImage32(11)));
    EXPECT_TRUE(clock_->RunUntil([this] { return SameImage(Beeper(), ListImage32(10)); }, 3))
        << "the beeper-off picture never came";

    Click(Control<QLabel>("Image5"));
    ASSERT_TRUE(sim_.WaitForCommand("Q", 2, 2s));
    EXPECT_TRUE(clock_->RunUntil([this] { return SameImage(Beeper(), ListImage32(11)); }, 3));
}

TEST_F(LiveWindow, LinkTurnsRedWhenTheSimulatorStops) {
    ASSERT_TRUE(WaitForRecord());
    ASSERT_TRUE(clock_->RunUntil([this] { return ListColour() == QColor(Qt::black); }, 1));

    sim_.Stop();
    // The tick after the loss finds nothing; the one after that shows it.
    EXPECT_TRUE(clock_->RunUntil([this] { return ListColour() == QColor(Qt::red); }, 2))
        << "link still shown as " << ListColour().name().toStdString();
    // The readings keep their last values.
    EXPECT_EQ(Text("Label1"), "228.0 V");
}

}  // namespace
}  // namespace zelto::test
