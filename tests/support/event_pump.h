#pragma once
// Letting the GUI event loop run from a test, the way it runs between the program's ticks.

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <functional>

namespace zelto::test {

// Runs the event loop for the given time.
inline void RunEventLoop(std::chrono::milliseconds time) {
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(time.count()), &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until `done` holds; false when the time ran out first.
inline bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() >= timeout.count()) {
            return false;
        }
        RunEventLoop(std::chrono::milliseconds(5));
    }
    return true;
}

}  // namespace zelto::test
