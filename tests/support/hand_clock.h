#pragma once
// HandClock: fires a live program's poll timer by hand, as the soak does, so that a test waits
// for the simulator's answers and never for real seconds. Timer1 is stopped; each tick then
// comes as soon as the answer to the previous query is in, or once `patience` went by without
// one. The ticks count the countdown down too, as Timer1's do.
//
//   live.Start();
//   HandClock clock(live);
//   clock.RunTicks(3);                            // three ticks, the event loop running between
//   clock.RunUntil([&] { return ...; }, 10);      // ticks until it holds, ten at most

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <chrono>
#include <cstddef>
#include <functional>

#include "qt/zelto_application.h"
#include "support/event_pump.h"

namespace zelto::test {

class HandClock : public QObject {
public:
    explicit HandClock(ZeltoApplication& app,
                       std::chrono::milliseconds patience = std::chrono::milliseconds(400))
        : app_(app), patience_(patience) {
        app_.Form().Timer1().stop();
        check_.setInterval(2);
        connect(&check_, &QTimer::timeout, this, &HandClock::Check);
        sinceTick_.start();
    }
    HandClock(const HandClock&) = delete;
    HandClock& operator=(const HandClock&) = delete;

    std::size_t Ticks() const { return ticks_; }
    // Runs after each tick has been handled, in whatever event loop runs it.
    std::function<void()> afterTick;

    // Runs the event loop, ticking, until `done` holds or `maxTicks` more ticks went by.
    bool RunUntil(const std::function<bool()>& done, std::size_t maxTicks) {
        const std::size_t limit = ticks_ + maxTicks;
        check_.start();
        const auto bound = (patience_ + std::chrono::milliseconds(200)) * (maxTicks + 2);
        PumpUntil([&] { return done() || ticks_ >= limit; },
                  std::chrono::duration_cast<std::chrono::milliseconds>(bound));
        check_.stop();
        return done();
    }
    // Runs the event loop until `count` more ticks went by.
    bool RunTicks(std::size_t count) {
        const std::size_t until = ticks_ + count;
        return RunUntil([&] { return ticks_ >= until; }, count);
    }

private:
    void Check() {
        // An answer is in once a whole record's worth has arrived and nothing more came since
        // the last look.
        const std::size_t waiting = app_.Port().ComInputCount();
        const bool answered = waiting >= 47 && waiting == lastWaiting_;
        lastWaiting_ = waiting;
        if (answered || sinceTick_.elapsed() >= patience_.count()) {
            Fire();
        }
    }

    void Fire() {
        ++ticks_;
        sinceTick_.restart();
        lastWaiting_ = 0;
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (afterTick) {
                    afterTick();
                }
            },
            Qt::QueuedConnection);
        app_.Form().Timer1Timer();
    }

    ZeltoApplication& app_;
    std::chrono::milliseconds patience_;
    QTimer check_;
    QElapsedTimer sinceTick_;
    std::size_t lastWaiting_ = 0;
    std::size_t ticks_ = 0;
};

}  // namespace zelto::test
