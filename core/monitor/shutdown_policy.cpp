#include "core/monitor/shutdown_policy.h"

#include "core/base/conversion.h"
#include "core/monitor/policy.h"

#include <string>

namespace zelto {

namespace {

// The entry at the index, or nothing for no selection or an index past the list.
template <typename Entries>
const typename Entries::value_type* EntryAt(const Entries& entries, int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= entries.size()) {
        return nullptr;
    }
    return &entries[static_cast<std::size_t>(index)];
}

}  // namespace

bool TriggersOnMainsFailure(int triggerIndex) {
    const auto* entry = EntryAt(kTriggerEntries, triggerIndex);
    return entry && entry->onMainsFailure;
}

bool TriggerCanAct(int triggerIndex) {
    const auto* entry = EntryAt(kTriggerEntries, triggerIndex);
    return entry && (entry->onMainsFailure || entry->chargeLimit);
}

bool ChargeTriggerMet(int triggerIndex, int charge) {
    const auto* entry = EntryAt(kTriggerEntries, triggerIndex);
    return entry && entry->chargeLimit && charge <= *entry->chargeLimit;
}

std::optional<PowerAction> MethodAction(int methodIndex) {
    const auto* entry = EntryAt(kMethodEntries, methodIndex);
    return entry ? std::optional<PowerAction>(entry->action) : std::nullopt;
}

const PolicySetting& PolicySettingFor(PolicyList list) {
    for (const auto& setting : kPolicySettings) {
        if (setting.list == list) {
            return setting;
        }
    }
    return kPolicySettings[0];
}

std::string_view PolicyItem(PolicyList list, int index) {
    switch (list) {
        case PolicyList::Trigger:
            if (const auto* entry = EntryAt(kTriggerEntries, index)) {
                return entry->text;
            }
            break;
        case PolicyList::Method:
            if (const auto* entry = EntryAt(kMethodEntries, index)) {
                return entry->text;
            }
            break;
        case PolicyList::UpsDelay:
            if (const auto* entry = EntryAt(kUpsDelayEntries, index)) {
                return *entry;
            }
            break;
    }
    return {};
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

std::optional<std::string> CapabilityWarning(PowerAction action, const CapabilityAnswer& answer) {
    std::string_view method;
    for (const auto& entry : kMethodEntries) {
        if (entry.action == action) {
            method = entry.text;
        }
    }
    const std::string named = "«" + std::string(method) + "»";
    const std::string fails = "Метод выключения " + named + " не сработает при отказе сети: ";
    const std::string orOther = " или выберите другой метод.";
    switch (answer.capability) {
        case PowerCapability::Yes:
            return std::nullopt;
        case PowerCapability::Challenge:
            return fails +
                   "система спросит пароль администратора, а вводить его может быть некому. "
                   "Разрешите это действие своему пользователю без пароля (правилом polkit)" +
                   orOther;
        case PowerCapability::No:
            return fails +
                   "система не разрешает его вашему пользователю. Попросите "
                   "администратора разрешить его" +
                   orOther;
        case PowerCapability::NotAvailable:
            switch (action) {
                case PowerAction::PowerOff:
                    return fails +
                           "система не умеет выключать этот компьютер. Выберите другой "
                           "метод.";
                case PowerAction::Hibernate:
                    return fails +
                           "спящий режим на этом компьютере не настроен или не "
                           "поддерживается. Настройте его (в Linux ему нужен раздел или файл "
                           "подкачки не меньше объёма памяти, в Windows его включает "
                           "«powercfg /hibernate on»)" +
                           orOther;
                case PowerAction::Suspend:
                    return fails +
                           "ждущий режим на этом компьютере отключён или не "
                           "поддерживается. Включите его в настройках системы" +
                           orOther;
            }
            break;
        case PowerCapability::Unknown:
            break;
    }
    const std::string why = answer.reason.empty() ? "" : " (" + answer.reason + ")";
    return "Не удалось узнать у системы, сработает ли метод выключения " + named +
           " при отказе сети" + why + ". Проверьте, что служба управления питанием работает.";
}

std::uint16_t ReadCountdownSeconds(Settings& settings) {
    const std::string text =
        settings.ReadSetting(kSection, kCountdownKey, std::to_string(kDefaultCountdownSeconds));
    return static_cast<std::uint16_t>(StrToIntInRange(text, 0, 65535));
}

}  // namespace zelto
