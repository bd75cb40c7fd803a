// What the program tells the desktop, end to end: the whole program in this process on the UPS
// simulator, its notifications going to notify-standin on a private session bus, its power
// requests to the logind stand-in on a private system bus. The program's timer and countdown are
// fired by hand (support/hand_clock.h), and its events are timed by a clock that each tick moves
// on by one second (a FakeClock, support/event_fakes.h): the link's ten seconds and the
// notifications' minute pass in ticks, not in real time.
#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDateTime>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "qt/countdown_dialog.h"
#include "qt/tray_icon.h"
#include "support/event_fakes.h"
#include "support/event_pump.h"
#include "support/hand_clock.h"
#include "support/live_program.h"
#include "support/private_bus.h"
#include "support/pty_sim.h"
#include "support/settings_folder.h"
#include "support/timed_log.h"

namespace zelto::test {
namespace {

using namespace std::chrono_literals;

std::string Str(const QString& text) {
    return text.toStdString();
}

int OpenBoxCount() {
    int boxes = 0;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<QMessageBox*>(widget) != nullptr && widget->isVisible()) {
            ++boxes;
        }
    }
    return boxes;
}

// A notification as the test expects it at the service.
struct Told {
    const char* summary;
    const char* body;
    int urgency;
    int expireMs;
};

class NotificationsLive : public ::testing::Test {
protected:
    enum class Service { None, Answering, Hung };

    void StartAll(const std::string& settings, Service service = Service::Answering) {
        ASSERT_TRUE(bus_.Started()) << Str(bus_.Error());
        ASSERT_TRUE(session_.Started()) << Str(session_.Error());
        logind_ = std::make_unique<LogindStandin>(bus_);
        ASSERT_TRUE(logind_->Started()) << Str(logind_->Error());
        if (service != Service::None) {
            StartService(service == Service::Hung);
        }
        ASSERT_TRUE(sim_.Start()) << sim_.Output();
        const std::string ini =
            "[UPS]\r\nPorts=" + sim_.LinkPath() + "\r\nCOMPort=0\r\n" + settings;
        ASSERT_TRUE(folder_.Enter(ini));

        live_ = std::make_unique<LiveProgram>(bus_.Address(), session_.Address(), &time_);
        QObject::connect(&live_->Notifications(), &DesktopNotifier::fellBack,
                         [this](const QString& title) { fellBack_ << title; });
        QObject::connect(&live_->Notifications(), &DesktopNotifier::delivered,
                         [this](const QString& title) { delivered_ << title; });
        live_->Start();
        clock_ = std::make_unique<HandClock>(*live_, 300ms);
        clock_->afterTick = [this] {
            time_.Advance(step_);
            if (afterTick_) {
                afterTick_();
            }
        };
        ASSERT_TRUE(
            clock_->RunUntil([this] { return live_->Main().State().RecordsHandled > 0; }, 6))
            << "no record";
    }

    void StartService(bool hung) {
        notify_ = std::make_unique<NotifyStandin>(session_, hung);
        ASSERT_TRUE(notify_->Started()) << Str(notify_->Error());
    }

    void TearDown() override {
        clock_.reset();
        live_.reset();
        if (!HasFailure()) {
            return;
        }
        for (const auto& line : journal_) {
            std::printf("  journal: %s\n", line.c_str());
        }
        if (notify_) {
            for (const auto& shown : notify_->Shown()) {
                std::printf("  notified: %s | %s | %d\n", Str(shown.summary).c_str(),
                            Str(shown.body).c_str(), shown.urgency);
            }
        }
    }

    // Whether a journal line of this run contains `text`; keeps the lines for a failure's story.
    bool Journalled(const std::string& text) {
        const auto& recent = live_->Events().JournalLines().Recent();
        journal_.assign(recent.begin(), recent.end());
        for (const auto& line : recent) {
            if (line.find(text) != std::string::npos) {
                return true;
            }
        }
        return false;
    }
    // How many journal lines of this run contain `text`.
    std::size_t JournalCount(const std::string& text) const {
        std::size_t count = 0;
        for (const auto& line : live_->Events().JournalLines().Recent()) {
            count += line.find(text) != std::string::npos ? 1 : 0;
        }
        return count;
    }

    // Sends the control line and ticks until the journal holds one more line with `event`.
    void ChangeAndWait(const std::string& control, const std::string& event,
                       std::size_t maxTicks = 6) {
        const std::size_t before = JournalCount(" " + event);
        ASSERT_TRUE(sim_.Send(control)) << control;
        ASSERT_TRUE(clock_->RunUntil([&] { return JournalCount(" " + event) > before; }, maxTicks))
            << control << ": no " << event;
    }

    // Ticks until the service has recorded `count` notifications.
    bool ServiceHas(std::size_t count, std::size_t maxTicks = 6) {
        return clock_->RunUntil([&] { return notify_->Shown().size() >= count; }, maxTicks);
    }

    // The unique names on the session bus: who is connected to it.
    static int SessionConnections(const QDBusConnection& probe) {
        int count = 0;
        for (const QString& name : probe.interface()->registeredServiceNames().value()) {
            count += name.startsWith(QLatin1Char(':')) ? 1 : 0;
        }
        return count;
    }

    void ExpectTold(const std::vector<Told>& expected) {
        const auto shown = notify_->Shown();
        ASSERT_EQ(shown.size(), expected.size()) << Str(notify_->Summaries().join(" / "));
        for (std::size_t i = 0; i < expected.size(); ++i) {
            SCOPED_TRACE(expected[i].summary);
            EXPECT_EQ(Str(shown[i].app), "UPS Zelto");
            EXPECT_EQ(Str(shown[i].summary), expected[i].summary);
            EXPECT_EQ(Str(shown[i].body), expected[i].body);
            EXPECT_EQ(shown[i].urgency, expected[i].urgency);
            EXPECT_EQ(shown[i].expireMs, expected[i].expireMs);
        }
    }

    PrivateBus bus_;      // the system bus, with logind
    PrivateBus session_;  // the session bus, with the notification service
    std::unique_ptr<LogindStandin> logind_;
    std::unique_ptr<NotifyStandin> notify_;
    PtySim sim_{PtySim::Options{{"--answer-delay", "20"}}};
    fakes::SettingsFolder folder_;
    // The real time at the start, standing still until a tick moves it.
    fakes::FakeClock time_{
        Moment{QDateTime::currentSecsSinceEpoch(), QDateTime::currentDateTime().offsetFromUtc()}};
    std::unique_ptr<LiveProgram> live_;
    std::unique_ptr<HandClock> clock_;
    std::function<void()> afterTick_;
    // The program's seconds per tick: less than the link's ten, or it would count as lost.
    int step_ = 1;
    QStringList fellBack_;
    QStringList delivered_;
    std::vector<std::string> journal_;
};

// "при отказе сети", "Выключит компьютер", the UPS never told, a two-second countdown.
const char* const kPowerOffInTwo = "CompOff=0\r\nOffMethod=0\r\nOffUPS=0\r\nOFFAfter=2\r\n";
// "никогда": the mains may come and go without a countdown.
const char* const kNeverShutDown = "CompOff=6\r\n";

TEST_F(NotificationsLive, EachKindReachesTheServiceInItsWords) {
    StartAll(kPowerOffInTwo);
    EXPECT_TRUE(notify_->Shown().empty()) << "told something at start-up";

    // The UPS's own flags: battery low (b6), then a fault (b4) instead.
    ChangeAndWait("flags 01001001", "battery-low");
    ChangeAndWait("flags 00011001", "ups-fault");
    ChangeAndWait("flags 00001001", "ups-fault-cleared");
    // Silent for more than ten seconds (ticks), then answering again.
    ChangeAndWait("silent on", "link-lost", 16);
    ChangeAndWait("silent off", "link-back");
    // Mains lost: the countdown runs out and the shutdown is committed.
    ASSERT_TRUE(sim_.Send("mains off"));
    ASSERT_TRUE(clock_->RunUntil([&] { return !logind_->Requests().isEmpty(); }, 10))
        << "no power request";
    EXPECT_EQ(logind_->Requests(), QStringList{"PowerOff false"});
    ChangeAndWait("mains on", "mains-back");
    ASSERT_TRUE(ServiceHas(7));

    ExpectTold({
        {"Батарея разряжена", "UPS сообщает о низком заряде батареи", 2, 0},
        {"Неисправность UPS", "UPS сообщает о неисправности", 2, 0},
        {"Нет связи с UPS", "UPS не отвечает больше 10 секунд", 1, 10000},
        {"Связь с UPS восстановлена", "UPS снова отвечает", 1, 10000},
        {"Сеть пропала", "Питание от UPS. Заряд батареи: 100%", 2, 0},
        {"Завершение работы", "Отсчёт окончен: компьютер выключается", 2, 0},
        {"Сеть восстановлена", "Питание от сети. Заряд батареи: 100%", 1, 10000},
    });
    const auto shown = notify_->Shown();
    EXPECT_EQ(Str(shown.front().icon), "upszelto");
    // The service logs a notification before its answer reaches the program.
    EXPECT_TRUE(PumpUntil([&] { return delivered_.size() >= 7; }, 3s)) << delivered_.size();
    EXPECT_TRUE(fellBack_.isEmpty()) << Str(fellBack_.join(" / "));
    EXPECT_EQ(delivered_.size(), 7);
    // Told in the order it happened, the shutdown before the power request.
    const auto calls = ReadTimedLog(logind_->LogPath());
    ASSERT_FALSE(calls.empty());
    EXPECT_LE(shown[5].ms, calls.back().ms + kSameMomentMs);
    EXPECT_EQ(OpenBoxCount(), 0);
}

// With "Language=en" the outage reads in English: the countdown, the tray's tip and what the
// service is told; the journal stays in its machine words.
TEST_F(NotificationsLive, InEnglishTheOutageReadsInEnglish) {
    StartAll("Language=en\r\nCompOff=0\r\nOffMethod=0\r\nOffUPS=0\r\nOFFAfter=30\r\n");
    ChangeAndWait("mains off", "mains-lost");
    TForm2& countdown = live_->Form().CountdownWindow();
    ASSERT_TRUE(clock_->RunUntil([&] { return countdown.isVisible(); }, 3)) << "no countdown";
    EXPECT_EQ(Str(countdown.findChild<QLabel*>("Label1")->text()), "The system shuts down in");
    EXPECT_EQ(Str(countdown.findChild<QPushButton*>("Button1")->text()), "Cancel");
    EXPECT_EQ(Str(countdown.findChild<QPushButton*>("Button2")->text()), "Shut down now");
    EXPECT_EQ(Str(live_->Form().Tray()->ToolTip()), "On UPS battery. Battery charge: 100%");
    countdown.findChild<QPushButton*>("Button1")->click();
    ASSERT_TRUE(Journalled("countdown-cancelled"));
    ChangeAndWait("mains on", "mains-back");
    ASSERT_TRUE(ServiceHas(2));
    ExpectTold({
        {"Mains power lost", "On UPS battery. Battery charge: 100%", 2, 0},
        {"Mains power is back", "On mains power. Battery charge: 100%", 1, 10000},
    });
    EXPECT_EQ(Str(live_->Form().Tray()->PopupMenu1().actions().front()->text()), "Show / hide");
    EXPECT_TRUE(logind_->Requests().isEmpty());
}

TEST_F(NotificationsLive, FlappingMainsTellEachKindOnceAMinuteAndTheLastNewsAfter) {
    StartAll(kNeverShutDown);
    const std::int64_t start = time_.Seconds();
    // Five edges, a few seconds apart.
    ChangeAndWait("mains off", "mains-lost");
    ChangeAndWait("mains on", "mains-back");
    ChangeAndWait("mains off", "mains-lost");
    ChangeAndWait("mains on", "mains-back");
    ChangeAndWait("mains off", "mains-lost");
    ASSERT_TRUE(ServiceHas(2));
    // Ticks enough for anything more to arrive, still inside the minute.
    ASSERT_TRUE(clock_->RunTicks(4));
    ASSERT_LT(time_.Seconds() - start, 50) << "the flapping took a minute of the program's time";
    EXPECT_EQ(Str(notify_->Summaries().join(" / ")), "Сеть пропала / Сеть восстановлена");
    // Every edge is in the journal all the same.
    EXPECT_EQ(JournalCount(" mains-lost "), 3u);
    EXPECT_EQ(JournalCount(" mains-back "), 2u);

    // Once the minute is over, the user learns how it ended: on battery.
    step_ = 5;
    ASSERT_TRUE(ServiceHas(3, 14));
    EXPECT_GE(time_.Seconds() - start, 60) << "told before the minute was over";
    ASSERT_TRUE(clock_->RunTicks(3));
    EXPECT_EQ(Str(notify_->Summaries().join(" / ")),
              "Сеть пропала / Сеть восстановлена / Сеть пропала");

    // Mains back once more, over a minute after the last "back": told at once.
    ChangeAndWait("mains on", "mains-back");
    ASSERT_TRUE(ServiceHas(4));
    EXPECT_EQ(Str(notify_->Summaries().join(" / ")),
              "Сеть пропала / Сеть восстановлена / Сеть пропала / Сеть восстановлена");
    EXPECT_EQ(JournalCount(" link-lost"), 0u);
    EXPECT_TRUE(fellBack_.isEmpty());
}

TEST_F(NotificationsLive, NoBusConnectionUntilTheFirstNotification) {
    StartAll(kNeverShutDown);
    QDBusConnection probe = QDBusConnection::connectToBus(session_.Address(), "zelto-test-probe");
    ASSERT_TRUE(probe.isConnected());
    // The service and this probe.
    ASSERT_TRUE(clock_->RunTicks(3));
    EXPECT_EQ(SessionConnections(probe), 2) << "the program connected at start-up";
    ChangeAndWait("mains off", "mains-lost");
    ASSERT_TRUE(ServiceHas(1));
    EXPECT_EQ(SessionConnections(probe), 3);
    QDBusConnection::disconnectFromBus("zelto-test-probe");
}

TEST_F(NotificationsLive, WithoutAServiceTheTrayBalloonTellsAndALaterServiceIsUsed) {
    StartAll(kNeverShutDown, Service::None);
    ChangeAndWait("mains off", "mains-lost");
    ASSERT_TRUE(PumpUntil([&] { return !fellBack_.isEmpty(); }, 3s)) << "nothing shown";
    EXPECT_EQ(Str(fellBack_.join(" / ")), "Сеть пропала");
    EXPECT_TRUE(delivered_.isEmpty());
    EXPECT_EQ(OpenBoxCount(), 0) << "a missing service is no error";

    // The desktop's service starts: the next notification goes to it.
    StartService(false);
    ChangeAndWait("mains on", "mains-back");
    ASSERT_TRUE(ServiceHas(1));
    EXPECT_EQ(Str(notify_->Summaries().join(" / ")), "Сеть восстановлена");
    EXPECT_TRUE(PumpUntil([&] { return !delivered_.isEmpty(); }, 3s));
    EXPECT_EQ(Str(fellBack_.join(" / ")), "Сеть пропала");
    EXPECT_EQ(OpenBoxCount(), 0);
}

TEST_F(NotificationsLive, AHungServiceHoldsUpNoTickAndTheBalloonTellsInItsPlace) {
    StartAll(kNeverShutDown, Service::Hung);
    ChangeAndWait("mains off", "mains-lost");
    ASSERT_TRUE(ServiceHas(1));
    EXPECT_FALSE(notify_->Shown().front().answered);
    // While the service keeps the call, the ticks come as fast as the simulator answers.
    const std::size_t before = sim_.Commands().size();
    ASSERT_TRUE(clock_->RunTicks(4));
    EXPECT_GE(sim_.Commands().size(), before + 3) << "the polls waited for the service";
    EXPECT_TRUE(fellBack_.isEmpty());
    // Once the call has waited long enough, the balloon shows it.
    EXPECT_TRUE(PumpUntil([&] { return !fellBack_.isEmpty(); }, 8s));
    EXPECT_EQ(Str(fellBack_.join(" / ")), "Сеть пропала");
}

TEST_F(NotificationsLive, NotifyZeroTellsNothing) {
    StartAll(std::string(kNeverShutDown) + "Notify=0\r\n");
    QDBusConnection probe = QDBusConnection::connectToBus(session_.Address(), "zelto-test-probe");
    ASSERT_TRUE(probe.isConnected());
    ChangeAndWait("flags 01001001", "battery-low");
    ChangeAndWait("mains off", "mains-lost");
    time_.Advance(60);
    ChangeAndWait("mains on", "mains-back");
    ASSERT_TRUE(clock_->RunTicks(3));
    RunEventLoop(300ms);
    EXPECT_TRUE(notify_->Shown().empty());
    EXPECT_TRUE(fellBack_.isEmpty()) << "the balloon told instead";
    EXPECT_EQ(SessionConnections(probe), 2) << "connected for nothing";
    QDBusConnection::disconnectFromBus("zelto-test-probe");
}

}  // namespace
}  // namespace zelto::test
