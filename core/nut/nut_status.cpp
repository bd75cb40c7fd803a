#include "core/nut/nut_status.h"

#include <cstddef>
#include <optional>

#include "core/nut/nut_numbers.h"

namespace zelto {
namespace {

// Flag positions within the eight flag characters, b7 first.
constexpr std::size_t kMainsFailure = 0;
constexpr std::size_t kBatteryLow = 1;
constexpr std::size_t kBoostOrBuck = 2;
constexpr std::size_t kTestRunning = 5;
constexpr std::size_t kShutdownActive = 6;

bool FlagSet(const NutRecordFields& record, std::size_t index) {
    return index < record.flags.size() && record.flags[index] == '1';
}

// The voltage regulation word for a raised boost-or-buck flag: output well below input is TRIM,
// well above is BOOST. Near-equal voltages (which NUT calls BYPASS) and absurd ratios say nothing.
const char* Regulation(const NutRecordFields& record) {
    const std::optional<double> in = ParseNutDecimal(record.mainsVoltage);
    const std::optional<double> out = ParseNutDecimal(record.outputVoltage);
    if (!in || !out || *in <= 0) {
        return nullptr;
    }
    if (*out < 0.5 * *in) {
        return nullptr;
    }
    if (*out < 0.95 * *in) {
        return "TRIM";
    }
    if (*out < 1.05 * *in) {
        return nullptr;
    }
    if (*out < 1.5 * *in) {
        return "BOOST";
    }
    return nullptr;
}

}  // namespace

std::string NutUpsStatus(const NutRecordFields& record, const NutSnapshot& snapshot) {
    std::string status;
    const auto add = [&status](const char* word) {
        if (!status.empty()) {
            status += ' ';
        }
        status += word;
    };
    if (snapshot.forcedShutdown) {
        add("FSD");
    }
    const bool onBattery = FlagSet(record, kMainsFailure);
    add(onBattery ? "OB" : "OL");
    if (FlagSet(record, kBatteryLow) || (onBattery && snapshot.lowBattery)) {
        add("LB");
    }
    if (FlagSet(record, kBoostOrBuck)) {
        if (const char* word = Regulation(record)) {
            add(word);
        }
    }
    if (FlagSet(record, kTestRunning)) {
        add("CAL");
    }
    if (FlagSet(record, kShutdownActive) && !snapshot.forcedShutdown) {
        add("FSD");
    }
    return status;
}

}  // namespace zelto
