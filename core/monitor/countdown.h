#pragma once
// The shutdown countdown: a state of the program that the poll ticks advance, one second each,
// and a dialog that shows it. The dialog only draws what it is told and reports its buttons; it
// never waits for anything.

#include <cstdint>
#include <string>

namespace zelto {

enum CountdownResult : int {
    CountdownGo = 1,             // reached zero, or "Выключить сейчас"
    CountdownProgramEnding = 2,  // Exit chosen while it showed
    CountdownCancelled = 3,      // "Отмена", or mains came back
};

// The front end's countdown dialog.
class Countdown {
public:
    virtual ~Countdown() = default;
    // A countdown starts from `seconds`: the dialog comes up in front, the focus on the button
    // that had it when the dialog last closed ("Отмена" the first time), the main window not
    // usable meanwhile. The dialog reports "Отмена" (Escape too) and "Выключить сейчас" back to
    // the program; it refuses the user's other ways of closing it.
    // `caption` is the dialog's title: the model's name, or why this countdown runs when another
    // machine's UPS called for it.
    virtual void OpenCountdown(std::uint16_t seconds, const std::string& caption) = 0;
    // A second has passed: the seconds left.
    virtual void ShowCountdownSeconds(std::uint16_t seconds) = 0;
    // The countdown ended, with whatever result: the dialog hides.
    virtual void CloseCountdown() = 0;
};

// One second of the countdown: counts down to zero and says whether it has reached it.
inline bool CountdownTick(std::uint16_t& seconds) {
    if (seconds != 0) {
        --seconds;
    }
    return seconds == 0;
}

}  // namespace zelto
