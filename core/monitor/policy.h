#pragma once
// The three policy lists of the main window in one table: the settings key each is stored under,
// its default, its entries as the window shows them and what each entry means. Start-up, the list
// handlers, the power state, the shutdown procedure and every front end read it from here.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "core/base/program_state.h"
#include "core/monitor/power_requests.h"

namespace zelto {

enum class PolicyList {
    Trigger,   // ComboBox1, "CompOff"
    Method,    // ComboBox2, "OffMethod"
    UpsDelay,  // ComboBox3, "OffUPS"
};

// The list's place among ComboBox1, ComboBox2 and ComboBox3: 0, 1 or 2.
constexpr int PolicyListPlace(PolicyList list) {
    return static_cast<int>(list);
}

// Shutdown trigger. Entry 0 acts on the first on-battery record, before the charge is worked out;
// entries with a limit act on battery once the charge is at or below it; "никогда" never acts.
struct TriggerEntry {
    TextId text;
    bool onMainsFailure;
    std::optional<int> chargeLimit;
};
inline constexpr std::array<TriggerEntry, 7> kTriggerEntries = {{
    {TextId::TriggerMainsFailure, true, std::nullopt},
    {TextId::TriggerCharge80, false, 80},
    {TextId::TriggerCharge50, false, 50},
    {TextId::TriggerCharge30, false, 30},
    {TextId::TriggerCharge20, false, 20},
    {TextId::TriggerCharge10, false, 10},
    {TextId::Never, false, std::nullopt},
}};

// Shutdown method: the power action each entry asks the system for.
struct MethodEntry {
    TextId text;
    PowerAction action;
};
inline constexpr std::array<MethodEntry, 3> kMethodEntries = {{
    {TextId::MethodPowerOff, PowerAction::PowerOff},
    {TextId::MethodHibernate, PowerAction::Hibernate},
    {TextId::MethodSuspend, PowerAction::Suspend},
}};

// UPS switch-off delay: entry i (1 to 10) sends the switch-off command with the i-th minute code;
// entry 0 sends nothing.
inline constexpr std::array<TextId, 11> kUpsDelayEntries = {
    TextId::Never,    TextId::Minutes1, TextId::Minutes2, TextId::Minutes3,
    TextId::Minutes4, TextId::Minutes5, TextId::Minutes6, TextId::Minutes7,
    TextId::Minutes8, TextId::Minutes9, TextId::Minutes10};

struct PolicySetting {
    PolicyList list;
    std::string_view key;
    int defaultIndex;
    int count;                 // entries in the list
    int ProgramState::*index;  // where the program keeps the selection
};
inline constexpr std::array<PolicySetting, 3> kPolicySettings = {{
    {PolicyList::Trigger, "CompOff", 0, static_cast<int>(kTriggerEntries.size()),
     &ProgramState::TriggerIndex},
    {PolicyList::Method, "OffMethod", 0, static_cast<int>(kMethodEntries.size()),
     &ProgramState::MethodIndex},
    {PolicyList::UpsDelay, "OffUPS", 0, static_cast<int>(kUpsDelayEntries.size()),
     &ProgramState::UpsOffIndex},
}};

const PolicySetting& PolicySettingFor(PolicyList list);

// The list's entries as shown, index for index.
std::string_view PolicyItem(Language language, PolicyList list, int index);

// The countdown length's key; its default is kDefaultCountdownSeconds.
inline constexpr std::string_view kCountdownKey = "OFFAfter";

}  // namespace zelto
