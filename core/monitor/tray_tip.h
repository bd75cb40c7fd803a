#pragma once
// The tray tool tip: power source and charge.

#include <string>

namespace zelto {

// "Питание от UPS. Заряд батареи: N%" or "Питание от сети. Заряд батареи: N%"; at most 61
// bytes, within the tray's 63.
std::string TrayTipText(bool onBattery, int charge);

// "Порт UPS не найден: ttyUSB0", or without the name while the chosen place of the list is empty.
// Cut to the tray's length by the tray.
std::string PortMissingTipText(const std::string& portName);

}  // namespace zelto
