#pragma once
// The shutdown countdown: a dialog that blocks its caller in a nested event loop while the
// poll timer keeps ticking, and ends with one of three results.

#include <cstdint>

namespace zelto {

enum CountdownResult : int {
    CountdownGo = 1,             // reached zero, or "Выключить сейчас"
    CountdownProgramEnding = 2,  // Exit chosen while it showed
    CountdownCancelled = 3,      // "Отмена", or mains came back
};

class Countdown {
public:
    virtual ~Countdown() = default;
    // Shows the countdown from `seconds`, which it counts down in place once a second (the
    // program-wide CountdownSeconds), and returns a CountdownResult. Ticks go on meanwhile.
    virtual int Run(std::uint16_t& seconds) = 0;
    // Mains came back: a showing countdown ends with CountdownCancelled. Has no effect on a
    // later showing.
    virtual void Cancel() = 0;
};

// One second of the countdown: counts down to zero and says whether it has reached it.
inline bool CountdownTick(std::uint16_t& seconds) {
    if (seconds != 0) {
        --seconds;
    }
    return seconds == 0;
}

}  // namespace zelto
