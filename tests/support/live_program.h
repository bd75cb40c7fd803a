#pragma once
// LiveProgram: the whole real program in this process, exactly as the program entry builds it,
// except that power requests go to the given bus, which must be a private one.
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
    // Ends the test program at once when `systemBusAddress` is, or may be, the real system bus.
    explicit LiveProgram(const QString& systemBusAddress);
};

}  // namespace zelto::test
