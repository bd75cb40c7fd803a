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

std::uint16_t ReadCountdownSeconds(Settings& settings) {
    const std::string text =
        settings.ReadSetting(kSection, kCountdownKey, std::to_string(kDefaultCountdownSeconds));
    return static_cast<std::uint16_t>(StrToIntInRange(text, 0, 65535));
}

}  // namespace zelto
