#pragma once
// The product's own names, as every window, box and front end shows them.

namespace zelto {

// The application's title: taskbar entry, error boxes, tray menu owner.
inline constexpr const char* kApplicationTitle = "UPS Zelto";
// The caption of the main window and of the countdown dialog.
inline constexpr const char* kModelCaption = "ZELTO Homeline";
// The About dialog's caption and product line.
inline constexpr const char* kAboutCaption = "About";
inline constexpr const char* kProductName = "ZELTO UPS Control program";

}  // namespace zelto
