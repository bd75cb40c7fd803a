#include "core/monitor/tray_tip.h"

namespace zelto {

std::string TrayTipText(Language language, bool onBattery, int charge) {
    const std::string_view source = Text(language, onBattery ? TextId::OnBattery : TextId::OnMains);
    return Text(language, TextId::TipCharge, {source, std::to_string(charge)});
}

std::string PortMissingTipText(Language language, const std::string& portName) {
    return portName.empty() ? std::string(Text(language, TextId::PortMissing))
                            : Text(language, TextId::PortMissingNamed, {portName});
}

}  // namespace zelto
