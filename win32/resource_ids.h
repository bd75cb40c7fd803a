#pragma once
// Resource ids shared by the resource script and the code that loads the pictures.

// The application icon (16, 32 and 48 px); the lowest id, so Explorer shows it for the file.
#define ZELTO_ICON_APP 1
// The two image lists: twelve pictures each, the same subject at the same index.
#define ZELTO_ICON_LIST16 100
#define ZELTO_ICON_LIST32 200
// The main window's three fixed pictures.
#define ZELTO_ICON_PLUG 300
#define ZELTO_ICON_UPS 301
#define ZELTO_ICON_COMPUTER 302
