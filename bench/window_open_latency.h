#pragma once

namespace zelto::bench {

// The time from a left click on the tray icon to the main window's first complete paint, the
// first time the window opens, with the whole program in this process on the UPS simulator.
// Prints the time in milliseconds; returns the process exit status. Measures on the platform
// Qt runs on: on X11 the paint follows the server's expose of the mapped window.
int RunWindowOpenLatency();

}  // namespace zelto::bench
