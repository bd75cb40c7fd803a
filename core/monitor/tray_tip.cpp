#include "core/monitor/tray_tip.h"

namespace zelto {

std::string TrayTipText(bool onBattery, int charge) {
    const std::string source = onBattery ? "Питание от UPS" : "Питание от сети";
    return source + ". Заряд батареи: " + std::to_string(charge) + "%";
}

std::string PortMissingTipText(const std::string& portName) {
    const std::string text = "Порт UPS не найден";
    return portName.empty() ? text : text + ": " + portName;
}

}  // namespace zelto
