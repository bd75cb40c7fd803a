#pragma once
// LiveProgram: the whole real program in this process, exactly as the program entry builds it,
// except that power requests and notifications go to the given buses, which must be private
// ones, and the events may be timed by a clock of the test's.
//
//   QDir::setCurrent(folderWithIni);           // UPSZelto.ini with "Ports" naming a simulator
//   LiveProgram live(bus.Address());
//   live.Start();                              // start-up and the first tick; Timer1 polls
//
// For tests and benchmarks that look at the widgets or time the program from inside.

#include <QString>

#include "qt/zelto_application.h"

namespace zelto::test {

class LiveProgram : public ZeltoApplication {
public:
    // Ends the test program at once when either address is, or may be, the real system bus.
    // Notifications go to `sessionBusAddress`, or when it is empty to the power requests' bus,
    // where no notification service runs: never to the desktop the tests happen to run in.
    // `clock`, when given, must outlive this.
    explicit LiveProgram(const QString& systemBusAddress, const QString& sessionBusAddress = {},
                         Clock* clock = nullptr);
};

}  // namespace zelto::test
