// Timer1 keeps polling while a countdown that one of its own ticks opened is showing, and its
// ticks are what count the countdown down to the power request.
#include <QCoreApplication>
#include <QTimer>

#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "core/program/program.h"
#include "qt/main_window_host.h"
#include "qt/zelto_application.h"
#include "support/core_fakes.h"
#include "support/status_records.h"

namespace zelto {
namespace {

TEST(PollTimer, KeepsPollingWhileItCountsTheCountdownDown) {
    fakes::FakeSettingsStore store;
    // Trigger "при отказе сети": the first record on battery opens the countdown.
    store.files["/fake/work/UPSZelto.ini"] = "[UPS]\nCompOff=0\nOffMethod=0\nOFFAfter=3\n";
    fakes::FakeComPort port;
    fakes::FakePortTable portTable{{{"ttyUSB0", "/fake/dev/ttyUSB0"}}};
    fakes::FakeCountdown countdown;
    fakes::FakePowerRequests power;
    fakes::FakeErrorReporter errors;
    MainWindowHost form;
    Program program{Platform{store, port, portTable, form, form, countdown, power, errors}};
    ConnectWindowToProgram(form, program);

    for (int i = 0; i < 10; ++i) {
        port.AnswerQueries({fakes::PowerRecord("12.0", true)});
    }
    int queriesAtOpen = -1;
    int queriesAtRequest = -1;
    power.onRequest = [&](PowerAction) {
        queriesAtRequest = port.WritesOf("Q1\r");
        QCoreApplication::exit(0);
    };

    form.FormCreate();
    // The real timer, ten times as fast.
    form.Timer1().setInterval(100);
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (queriesAtOpen < 0 && countdown.showing) {
            queriesAtOpen = port.WritesOf("Q1\r");
        }
    });
    watch.start(5);
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(-1); });
    guard.start(10000);
    const int code = QCoreApplication::exec();

    ASSERT_EQ(code, 0) << "no power request";
    EXPECT_EQ(countdown.shown, (std::vector<std::uint16_t>{3, 2, 1, 0}));
    // One query a tick while it counted: three seconds, three ticks, three queries.
    ASSERT_GE(queriesAtOpen, 1);
    EXPECT_EQ(queriesAtRequest - queriesAtOpen, 2) << "the tick that goes ahead sends its query "
                                                      "after the request";
    EXPECT_TRUE(errors.texts.empty());
}

}  // namespace
}  // namespace zelto
