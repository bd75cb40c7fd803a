#pragma once
// SteppedClock: the time of a live program's events as a test moves it. It starts at the real
// time and stands still until told to go on, so a test can let a minute pass for the program
// (the notifications' limit, the link's ten seconds) without waiting for it. Header-only.
//
//   SteppedClock time;
//   LiveProgram live(bus.Address(), session.Address(), &time);
//   clock.afterTick = [&] { time.Advance(1); };   // each hand-fired tick a second

#include <QDateTime>

#include <cstdint>

#include "core/events/event.h"

namespace zelto::test {

class SteppedClock final : public Clock {
public:
    SteppedClock() {
        const QDateTime now = QDateTime::currentDateTime();
        now_ = Moment{now.toSecsSinceEpoch(), now.offsetFromUtc()};
    }
    Moment Now() override { return now_; }
    void Advance(std::int64_t seconds) { now_.unixSeconds += seconds; }
    std::int64_t Seconds() const { return now_.unixSeconds; }

private:
    Moment now_;
};

}  // namespace zelto::test
