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
    std::string_view text;
    bool onMainsFailure;
    std::optional<int> chargeLimit;
};
inline constexpr std::array<TriggerEntry, 7> kTriggerEntries = {{
    {"при отказе сети", true, std::nullopt},
    {"при 80% батареи", false, 80},
    {"при 50% батареи", false, 50},
    {"при 30% батареи", false, 30},
    {"при 20% батареи", false, 20},
    {"при 10% батареи", false, 10},
    {"никогда", false, std::nullopt},
}};

// Shutdown method: the power action each entry asks the system for.
struct MethodEntry {
    std::string_view text;
    PowerAction action;
};
inline constexpr std::array<MethodEntry, 3> kMethodEntries = {{
    {"Выключит компьютер", PowerAction::PowerOff},
    {"Спящий режим", PowerAction::Hibernate},
    {"Ждущий режим", PowerAction::Suspend},
}};

// UPS switch-off delay: entry i (1 to 10) sends the switch-off command with the i-th minute code;
// entry 0 sends nothing.
inline constexpr std::array<std::string_view, 11> kUpsDelayEntries = {
    "никогда", "1 минуту", "2 минуты", "3 минуты", "4 минуты", "5 минут",
    "6 минут", "7 минут",  "8 минут",  "9 минут",  "10 минут"};

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
std::string_view PolicyItem(PolicyList list, int index);

// The countdown length's key; its default is kDefaultCountdownSeconds.
inline constexpr std::string_view kCountdownKey = "OFFAfter";

}  // namespace zelto
