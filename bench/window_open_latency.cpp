#include "bench/window_open_latency.h"

#include <QApplication>
#include <QEvent>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cstdio>
#include <string>

#include "qt/tray_icon.h"
#include "support/live_program.h"
#include "support/private_bus.h"
#include "support/pty_sim.h"
#include "support/settings_folder.h"

namespace zelto::bench {
namespace {

using Clock = std::chrono::steady_clock;

// Stamps the end of the main window's first paint: the paint event of the window itself comes
// first, its controls are painted in the same pass, and a zero timer runs once that pass and
// the flush to the screen are over.
class FirstPaintWatch : public QObject {
public:
    explicit FirstPaintWatch(QApplication& app) { app.installEventFilter(this); }

    bool Painted() const { return painted_; }
    Clock::time_point PaintedAt() const { return paintedAt_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!seen_ && event->type() == QEvent::Paint && watched->objectName() == "Form1") {
            seen_ = true;
            QTimer::singleShot(0, this, [this] {
                paintedAt_ = Clock::now();
                painted_ = true;
                QCoreApplication::exit(0);
            });
        }
        return false;
    }

private:
    bool seen_ = false;
    bool painted_ = false;
    Clock::time_point paintedAt_;
};

}  // namespace

int RunWindowOpenLatency() {
    test::PrivateBus bus;
    test::PtySim sim;
    fakes::SettingsFolder folder;
    if (!bus.Started() || !sim.Start() ||
        !folder.Enter("[UPS]\r\nPorts=" + sim.LinkPath() + "\r\nCOMPort=0\r\nCompOff=6\r\n")) {
        std::fprintf(stderr, "set-up failed: %s\n", qPrintable(bus.Error()));
        return 1;
    }

    test::LiveProgram live(bus.Address());
    live.Start();
    auto* app = static_cast<QApplication*>(QCoreApplication::instance());
    FirstPaintWatch watch(*app);
    Clock::time_point click;
    // A few ticks first, as when the user clicks a program that has been sitting in the tray.
    QTimer::singleShot(3000, [&] {
        click = Clock::now();
        emit live.Form().Tray()->SystemTrayIcon()->activated(QSystemTrayIcon::Trigger);
    });
    QTimer::singleShot(10000, [] { QCoreApplication::exit(1); });
    QApplication::exec();

    if (!watch.Painted()) {
        std::fprintf(stderr, "the window was not painted within 7 s of the click\n");
        return 1;
    }
    std::printf("window_open_ms: %.1f\n",
                std::chrono::duration<double, std::milli>(watch.PaintedAt() - click).count());
    return 0;
}

}  // namespace zelto::bench
