#pragma once
// The tray tool tip: power source and charge.

#include <string>

#include "core/base/texts.h"

namespace zelto {

// "Питание от UPS. Заряд батареи: N%" or "Питание от сети. Заряд батареи: N%"; at most 61
// bytes, within the tray's 63.
std::string TrayTipText(Language language, bool onBattery, int charge);

// "Порт UPS не найден: ttyUSB0", or without the name while the chosen place of the list is empty.
// Cut to the tray's length by the tray.
std::string PortMissingTipText(Language language, const std::string& portName);

}  // namespace zelto
