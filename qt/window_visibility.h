#pragma once
// Showing and hiding the main window from the tray. WindowHidden follows what the user asked
// for; a hidden window has no taskbar entry either, because hiding unmaps it altogether.

class QWidget;

namespace zelto {

// ShowHide: a hidden window comes back (restored if it was minimised) and goes to the front,
// or an open modal dialog does when one is up; a shown window is hidden.
void ShowHide(QWidget& window, bool& windowHidden);

// Hide to the tray: what the title-bar close and Alt+F4 do instead of closing.
void HideToTray(QWidget& window, bool& windowHidden);

}  // namespace zelto
