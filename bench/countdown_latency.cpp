#include "bench/countdown_latency.h"

#include <QApplication>
#include <QEvent>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <random>
#include <thread>
#include <vector>

#include "support/live_program.h"
#include "support/private_bus.h"
#include "support/pty_sim.h"
#include "support/settings_folder.h"

namespace zelto::bench {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Notes when the dialog shows, then cancels it as a user would, so the next outage can follow.
// It watches the whole application, since the dialog is only built for the first outage, and
// that building is part of the first time.
class ShowWatch : public QObject {
public:
    explicit ShowWatch(MainWindowHost& host) : host_(host) {
        QCoreApplication::instance()->installEventFilter(this);
    }

    std::atomic<int> shows{0};
    std::atomic<Clock::rep> lastShow{0};

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        TForm2* dialog = host_.CountdownIfBuilt();
        if (dialog != nullptr && watched == dialog && event->type() == QEvent::Show) {
            lastShow = Clock::now().time_since_epoch().count();
            ++shows;
            QTimer::singleShot(100, dialog, [dialog] {
                dialog->findChild<QPushButton*>(QStringLiteral("Button1"))->click();
            });
        }
        return false;
    }

private:
    MainWindowHost& host_;
};

}  // namespace

int RunCountdownLatency(int trials) {
    test::PrivateBus bus;
    test::PtySim sim;
    fakes::SettingsFolder folder;
    if (!bus.Started() || !sim.Start() ||
        // "при отказе сети", and a countdown long enough never to finish.
        !folder.Enter(
            "[UPS]\r\nPorts=" + sim.LinkPath() +
            "\r\nCOMPort=0\r\nCompOff=0\r\nOffMethod=1\r\nOffUPS=0\r\nOFFAfter=600\r\n")) {
        std::fprintf(stderr, "set-up failed: %s\n", qPrintable(bus.Error()));
        return 1;
    }

    test::LiveProgram live(bus.Address());
    ShowWatch watch(live.Form());
    live.Start();

    std::vector<double> latencies;
    bool failed = false;
    // The outages come from a thread of their own, so that the program's event loop runs
    // undisturbed here and the show event is stamped the moment it happens.
    std::thread outages([&] {
        std::mt19937 random(7);
        std::uniform_int_distribution<int> phase(0, 999);
        sim.WaitForCommand("Q1", 2, 5s);
        for (int trial = 0; trial < trials && !failed; ++trial) {
            std::this_thread::sleep_for(std::chrono::milliseconds(phase(random)));
            const int shown = watch.shows;
            const Clock::time_point failure = Clock::now();
            if (!sim.Send("mains off")) {
                failed = true;
                break;
            }
            if (!test::PtySim::WaitFor(5s, [&] { return watch.shows > shown; })) {
                std::fprintf(stderr, "trial %d: no countdown within 5 s\n", trial + 1);
                failed = true;
                break;
            }
            const Clock::time_point show{Clock::duration{watch.lastShow.load()}};
            latencies.push_back(std::chrono::duration<double>(show - failure).count());
            std::printf("outage %d: countdown shown %.3f s after the failure\n", trial + 1,
                        latencies.back());
            std::fflush(stdout);
            // Mains back, and time for a record that says so to re-arm the trigger.
            std::this_thread::sleep_for(300ms);
            sim.Send("mains on");
            std::this_thread::sleep_for(2500ms);
        }
        QMetaObject::invokeMethod(
            qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
    });
    QApplication::exec();
    outages.join();

    if (failed || latencies.empty()) {
        return 1;
    }
    double sum = 0;
    for (const double latency : latencies) {
        sum += latency;
    }
    std::printf("countdown_latency_mean_s: %.3f\n", sum / static_cast<double>(latencies.size()));
    std::printf("countdown_latency_max_s: %.3f\n",
                *std::max_element(latencies.begin(), latencies.end()));
    return 0;
}

}  // namespace zelto::bench
