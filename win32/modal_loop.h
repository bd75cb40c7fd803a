#pragma once
// A window shown modally over its owner: the owner is disabled, and a message loop of its own
// runs until the window has its result. That loop dispatches every message of the thread, so
// the main window's poll timer keeps firing while the window shows.

#include "win32/windows_api.h"

#include <functional>

namespace zelto {

// Shows `window`, then runs the loop until `ended()` is true or the program quits (WM_QUIT is
// passed on to the loop outside); returns whether it ended by `ended()`. The owner, when given,
// is disabled meanwhile and enabled again before the window hides.
bool RunModal(HWND window, HWND owner, const std::function<bool()>& ended);

}  // namespace zelto
