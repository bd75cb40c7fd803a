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

std::string_view PolicyItem(Language language, PolicyList list, int index) {
    switch (list) {
        case PolicyList::Trigger:
            if (const auto* entry = EntryAt(kTriggerEntries, index)) {
                return Text(language, entry->text);
            }
            break;
        case PolicyList::Method:
            if (const auto* entry = EntryAt(kMethodEntries, index)) {
                return Text(language, entry->text);
            }
            break;
        case PolicyList::UpsDelay:
            if (const auto* entry = EntryAt(kUpsDelayEntries, index)) {
                return Text(language, *entry);
            }
            break;
    }
    return {};
}

std::string PowerRefusedText(Language language, PowerAction action, const std::string& reason) {
    switch (action) {
        case PowerAction::PowerOff:
            return Text(language, TextId::PowerOffFailed, {reason});
        case PowerAction::Hibernate:
            return Text(language, TextId::HibernateFailed, {reason});
        case PowerAction::Suspend:
            return Text(language, TextId::SuspendFailed, {reason});
    }
    return reason;
}

std::optional<std::string> CapabilityWarning(Language language, PowerAction action,
                                             const CapabilityAnswer& answer) {
    std::string_view method;
    for (const auto& entry : kMethodEntries) {
        if (entry.action == action) {
            method = Text(language, entry.text);
        }
    }
    const auto fails = [&](TextId why) {
        return Text(language, TextId::MethodWillFail, {method, Text(language, why)});
    };
    const auto orOther = [&](TextId why) {
        return Text(language, TextId::MethodAskFixOrOther, {fails(why)});
    };
    switch (answer.capability) {
        case PowerCapability::Yes:
            return std::nullopt;
        case PowerCapability::Challenge:
            return orOther(TextId::MethodChallenge);
        case PowerCapability::No:
            return orOther(TextId::MethodForbidden);
        case PowerCapability::NotAvailable:
            switch (action) {
                case PowerAction::PowerOff:
                    return fails(TextId::MethodNoPowerOff);
                case PowerAction::Hibernate:
                    return orOther(TextId::MethodNoHibernate);
                case PowerAction::Suspend:
                    return orOther(TextId::MethodNoSuspend);
            }
            break;
        case PowerCapability::Unknown:
            break;
    }
    const std::string why = answer.reason.empty() ? "" : " (" + answer.reason + ")";
    return Text(language, TextId::MethodUnknown, {method, why});
}

std::uint16_t ReadCountdownSeconds(Settings& settings) {
    const std::string text =
        settings.ReadSetting(kSection, kCountdownKey, std::to_string(kDefaultCountdownSeconds));
    return static_cast<std::uint16_t>(StrToIntInRange(text, 0, 65535));
}

}  // namespace zelto
