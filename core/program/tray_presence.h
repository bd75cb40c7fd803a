#pragma once
// The program is reached through its tray icon. While it has none (a desktop without a tray, a
// taskbar not ready at log-on), its window must stay on the screen, or the program runs unseen.

namespace zelto {

// What closing the main window does: hide it into the tray, or, with no icon there to bring it
// back, only minimise it.
enum class CloseAction { HideToTray, Minimise };

inline CloseAction CloseActionFor(bool trayIconPresent) {
    return trayIconPresent ? CloseAction::HideToTray : CloseAction::Minimise;
}

// Whether a hidden window must be shown now: there is no icon to show it from.
inline bool MustShowWindow(bool trayIconPresent, bool windowHidden) {
    return !trayIconPresent && windowHidden;
}

}  // namespace zelto
