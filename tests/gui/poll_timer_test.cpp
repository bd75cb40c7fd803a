// Timer1 keeps polling while a countdown that one of its own ticks opened is showing: the
// countdown waits in a nested event loop inside that tick, and the ticks must go on in there.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <cstdint>

#include <gtest/gtest.h>

#include "core/program/program.h"
#include "qt/main_window_host.h"
#include "qt/zelto_application.h"
#include "support/core_fakes.h"
#include "support/status_records.h"

namespace zelto {
namespace {

class OnePort : public PortTable {
public:
    std::vector<PortEntry> SystemPorts() override { return {{"ttyUSB0", "/fake/dev/ttyUSB0"}}; }
};

TEST(PollTimer, KeepsTickingInsideACountdownOpenedByATick) {
    fakes::FakeSettingsStore store;
    // Trigger "при отказе сети": the first record on battery opens the countdown.
    store.files["/fake/work/UPSZelto.ini"] = "[UPS]\nCompOff=0\n";
    fakes::FakeComPort port;
    OnePort portTable;
    fakes::FakeCountdown countdown;
    fakes::FakePowerRequests power;
    fakes::FakeErrorReporter errors;
    MainWindowHost form;
    Program program{Platform{store, port, portTable, form, form, countdown, power, errors}};
    ConnectWindowToProgram(form, program);

    for (int i = 0; i < 10; ++i) {
        port.AnswerQueries({fakes::PowerRecord("12.0", true)});
    }
    int queriesBefore = -1;
    int queriesAfter = -1;
    countdown.result = CountdownCancelled;
    countdown.whileShowing = [&](std::uint16_t&) {
        // What the dialog does: wait in a nested loop, here for four and a half ticks.
        queriesBefore = port.WritesOf("Q1\r");
        QEventLoop nested;
        QTimer::singleShot(450, &nested, &QEventLoop::quit);
        nested.exec();
        queriesAfter = port.WritesOf("Q1\r");
        QCoreApplication::exit(0);
    };

    form.FormCreate();
    // The real timer, ten times as fast: its ticks must go on inside the tick it is delivering.
    form.Timer1().setInterval(100);
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(-1); });
    guard.start(10000);
    const int code = QCoreApplication::exec();

    ASSERT_EQ(code, 0) << "the countdown never opened";
    ASSERT_EQ(countdown.runs.size(), 1u);
    // One query a tick went on while the countdown showed.
    EXPECT_GE(queriesAfter - queriesBefore, 3);
    EXPECT_TRUE(errors.texts.empty());
}

}  // namespace
}  // namespace zelto
