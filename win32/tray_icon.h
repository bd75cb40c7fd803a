#pragma once
// The program's icon in the notification area and PopupMenu1. SetTrayIcon mirrors the tray's own
// add / delete / modify requests; the tip is always the program's TrayTip. The tray's mouse
// messages arrive at the owner window as kTrayMessage and come here through HandleTrayMessage.

#include "win32/windows_api.h"

#include <shellapi.h>

#include <functional>
#include <string>

#include "win32/unique_handle.h"

namespace zelto {

struct ProgramState;
class Images;

enum TrayAction : int {
    TrayAdd = 1,
    TrayDelete = 2,
    TrayModify = 3,
};

// The owner window's message for the tray's mouse events.
inline constexpr UINT kTrayMessage = WM_USER + 1;

class TrayIcon {
public:
    // The menu's commands (the entries of kTrayMenu), as TrackPopupMenu returns them: N3
    // "Открыть / скрыть", N4 "Журнал", N1 "Закрыть".
    enum Command : UINT { N3 = 1, N1 = 2, N4 = 3 };

    // Ticks between two tries to add an icon the tray refused.
    static constexpr int kRetryTicks = 3;

    // How the icon reaches the shell: Shell_NotifyIconW, or a stand-in that refuses the first
    // adds in the tests of a taskbar that is not ready.
    using ShellNotify = std::function<BOOL(DWORD action, NOTIFYICONDATAW* data)>;

    TrayIcon(HWND owner, const ProgramState& state, const Images& images,
             ShellNotify notify = &Shell_NotifyIconW);
    ~TrayIcon();
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    // Add puts the icon into the tray (a second add changes nothing), modify changes the picture
    // and tip, delete takes it out; any other action does nothing. The tip is TrayTip, cut to
    // the 63 characters the tray holds. An add the tray refuses is tried again by Tick.
    void SetTrayIcon(int action, HICON icon);
    // Whether the icon is in the tray now.
    bool Present() const { return present_; }
    // Once a poll tick: an icon that was added but is not in the tray (the shell not ready at
    // log-on, or gone) is added again every kRetryTicks ticks until the tray takes it.
    void Tick();
    // The icon's balloon with the warning sign: the title cut to 63 characters, the text to 255.
    // Nothing without an icon in the tray; false when the tray refused it.
    bool ShowBalloon(const std::string& title, const std::string& text);

    // The mouse event of a kTrayMessage: a left click (or double click) gives N3, a right click
    // opens PopupMenu1 at the cursor and gives the command chosen; 0 for anything else.
    UINT HandleTrayMessage(LPARAM mouseEvent);
    // The taskbar was created anew (Explorer restarted, or started late): the icon is added
    // again, whether or not the old taskbar ever had it.
    void TaskbarCreated();
    // WM_MEASUREITEM and WM_DRAWITEM for the menu's pictures; false for other items.
    bool MeasureItem(MEASUREITEMSTRUCT& item) const;
    bool DrawItem(const DRAWITEMSTRUCT& item) const;

private:
    bool Notify(DWORD action);
    UINT ShowPopupMenu1();

    HWND owner_;
    const ProgramState& state_;
    const Images& images_;
    ShellNotify notify_;
    HICON icon_ = nullptr;
    bool wanted_ = false;  // added and not deleted since
    bool present_ = false;
    int ticksAbsent_ = 0;
    MenuHandle popupMenu1_;
};

}  // namespace zelto
