#pragma once
// TForm2: the shutdown countdown as a modal window with its own one-second timer. Run() blocks in
// a message loop of its own, so the main window's poll timer keeps ticking while the seconds
// count down.

#include "win32/windows_api.h"

#include <cstdint>

#include "core/monitor/countdown.h"
#include "win32/window_base.h"

namespace zelto {

class UiStyle;

class TForm2 : public WindowBase, public Countdown {
public:
    TForm2(HWND owner, const UiStyle& ui);

    int Run(std::uint16_t& seconds) override;
    void Cancel() override;
    // The program is ending (Exit from the tray menu): a showing countdown ends with
    // CountdownProgramEnding and no power action follows.
    void EndForExit();
    bool Showing() const { return seconds_ != nullptr; }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void End(int result);
    void Timer1Timer();
    void ShowSeconds();

    HWND owner_;
    HWND Label1 = nullptr;
    HWND Label2 = nullptr;
    HWND Button1 = nullptr;  // "Отмена"
    HWND Button2 = nullptr;  // "Выключить сейчас"
    // The count being shown, owned by the caller of Run(); null while hidden.
    std::uint16_t* seconds_ = nullptr;
    // The result the showing ends with; 0 while none is pending.
    int pendingResult_ = 0;
    // The button that had the focus when the countdown last ended; it gets it back next time.
    HWND lastFocused_ = nullptr;
};

}  // namespace zelto
