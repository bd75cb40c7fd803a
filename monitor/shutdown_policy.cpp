#include "monitor/shutdown_policy.h"

#include "app/conversion.h"

#include <array>
#include <utility>

namespace zelto {

bool ChargeTriggerMet(int triggerIndex, int charge) {
    // (list entry, charge limit), checked in this order.
    constexpr std::array<std::pair<int, int>, 5> kLimits = {
        {{1, 80}, {2, 50}, {3, 30}, {4, 20}, {5, 10}}};
    for (const auto& [index, limit] : kLimits) {
        if (triggerIndex == index && charge <= limit) {
            return true;
        }
    }
    return false;
}

std::optional<PowerAction> MethodAction(int methodIndex) {
    switch (methodIndex) {
        case 0:
            return PowerAction::PowerOff;
        case 1:
            return PowerAction::Hibernate;
        case 2:
            return PowerAction::Suspend;
        default:
            return std::nullopt;
    }
}

std::string PowerRefusedText(PowerAction action, const std::string& reason) {
    std::string text;
    switch (action) {
        case PowerAction::PowerOff:
            text = "Не удалось выключить компьютер: ";
            break;
        case PowerAction::Hibernate:
            text = "Не удалось перевести компьютер в спящий режим: ";
            break;
        case PowerAction::Suspend:
            text = "Не удалось перевести компьютер в ждущий режим: ";
            break;
    }
    return text + reason;
}

std::uint16_t ReadCountdownSeconds(Settings& settings) {
    const std::string text = settings.ReadSetting(kSection, "OFFAfter", "10");
    return static_cast<std::uint16_t>(StrToIntInRange(text, 0, 65535));
}

}  // namespace zelto
