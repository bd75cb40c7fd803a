#pragma once
// TForm2: the shutdown countdown's window. It shows what the program's countdown tells it, with
// its owner disabled meanwhile, and reports its buttons; it has no timer and no loop of its own,
// so the poll timer drives the seconds as it drives everything else.

#include "win32/windows_api.h"

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include "core/base/texts.h"
#include "core/monitor/countdown.h"
#include "win32/window_base.h"

namespace zelto {

class UiStyle;

class TForm2 : public WindowBase, public Countdown {
public:
    // A CountdownResult: "Отмена" (Escape too) or "Выключить сейчас".
    using Answer = std::function<void(int result)>;

    TForm2(HWND owner, const UiStyle& ui, Language language);

    void SetAnswer(Answer answer) { answer_ = std::move(answer); }
    void OpenCountdown(std::uint16_t seconds, const std::string& caption) override;
    void ShowCountdownSeconds(std::uint16_t seconds) override;
    void CloseCountdown() override;
    bool Showing() const { return showing_; }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void Answered(int result);

    HWND owner_;
    Answer answer_;
    HWND Label1 = nullptr;
    HWND Label2 = nullptr;
    HWND Button1 = nullptr;  // "Отмена"
    HWND Button2 = nullptr;  // "Выключить сейчас"
    bool showing_ = false;
    // The button that had the focus when the countdown last ended; it gets it back next time.
    HWND lastFocused_ = nullptr;
};

}  // namespace zelto
