#include "core/nut/nut_variables.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <utility>

#include "core/nut/nut_numbers.h"
#include "core/nut/nut_status.h"
#include "core/nut/nut_text.h"

namespace zelto {
namespace {

constexpr std::size_t kUpsFailed = 3;
constexpr std::size_t kLineInteractive = 4;
constexpr std::size_t kShutdownActive = 6;
constexpr std::size_t kBeeperOn = 7;

// The texts NUT's variable description table gives for the variables published here.
constexpr std::array<std::pair<std::string_view, std::string_view>, 17> kDescriptions = {{
    {"battery.charge", "Battery charge (percent of full)"},
    {"battery.charge.low", "Remaining battery level when UPS switches to LB (percent)"},
    {"battery.voltage", "Battery voltage (V)"},
    {"driver.name", "Driver name"},
    {"driver.version", "Driver version - NUT release"},
    {"input.frequency", "Input line frequency (Hz)"},
    {"input.voltage", "Input voltage (V)"},
    {"output.voltage", "Output voltage (V)"},
    {"server.info", "Server information"},
    {"server.version", "Server version"},
    {"ups.alarm", "UPS alarms"},
    {"ups.beeper.status", "UPS beeper status"},
    {"ups.load", "Load on UPS (percent of full)"},
    {"ups.mfr", "UPS manufacturer"},
    {"ups.model", "UPS model"},
    {"ups.status", "UPS status"},
    {"ups.temperature", "UPS temperature (degrees C)"},
}};

class VariableList {
public:
    void Add(std::string_view name, std::string_view value) {
        list_.push_back(NutVariable{std::string(name), NutSafeValue(value)});
    }
    void AddText(std::string_view name, std::string_view value) {
        if (!NutSafeValue(value).empty()) {
            Add(name, value);
        }
    }
    void AddNumber(std::string_view name, std::string_view field, int decimals) {
        if (const auto number = ParseNutDecimal(field)) {
            Add(name, FormatNutFixed(*number, decimals));
        }
    }
    std::vector<NutVariable> Sorted() && {
        std::sort(list_.begin(), list_.end(), [](const NutVariable& a, const NutVariable& b) {
            return NutLessNoCase(a.name, b.name);
        });
        return std::move(list_);
    }

private:
    std::vector<NutVariable> list_;
};

bool FlagSet(const NutRecordFields& record, std::size_t index) {
    return index < record.flags.size() && record.flags[index] == '1';
}

void AddRecord(VariableList& list, const NutRecordFields& record, const NutSnapshot& snapshot) {
    list.AddNumber("input.voltage", record.mainsVoltage, 1);
    list.AddNumber("input.voltage.fault", record.inputFaultVoltage, 1);
    list.AddNumber("output.voltage", record.outputVoltage, 1);
    list.AddNumber("ups.load", record.load, 0);
    list.AddNumber("input.frequency", record.frequency, 1);
    list.AddNumber("battery.voltage", record.batteryVoltage, 2);
    list.AddNumber("ups.temperature", record.temperature, 1);
    list.Add("ups.status", NutUpsStatus(record, snapshot));
    list.Add("ups.type",
             FlagSet(record, kLineInteractive) ? "offline / line interactive" : "online");
    // The program reads any flag other than '0' as a sounding beeper, and so does this.
    const bool beeperOff = record.flags.size() > kBeeperOn && record.flags[kBeeperOn] == '0';
    list.Add("ups.beeper.status", beeperOff ? "disabled" : "enabled");
    std::string alarm;
    if (FlagSet(record, kUpsFailed)) {
        alarm = "UPS selftest failed!";
    }
    if (FlagSet(record, kShutdownActive)) {
        alarm += alarm.empty() ? "Shutdown imminent!" : " Shutdown imminent!";
    }
    list.AddText("ups.alarm", alarm);
    list.Add("battery.charge", std::to_string(std::clamp(snapshot.batteryCharge, 0, 100)));
}

}  // namespace

std::vector<NutVariable> NutVariables(const NutSnapshot& snapshot) {
    VariableList list;
    list.Add("device.type", "ups");
    list.AddText("device.mfr", snapshot.deviceMfr);
    list.AddText("ups.mfr", snapshot.deviceMfr);
    list.AddText("device.model", snapshot.deviceModel);
    list.AddText("ups.model", snapshot.deviceModel);
    list.AddText("driver.name", snapshot.driverName);
    list.AddText("driver.version", snapshot.driverVersion);
    if (snapshot.lowBatteryCharge) {
        list.Add("battery.charge.low",
                 std::to_string(std::clamp(*snapshot.lowBatteryCharge, 0, 100)));
    }
    if (snapshot.record) {
        AddRecord(list, *snapshot.record, snapshot);
    }
    return std::move(list).Sorted();
}

std::optional<NutVariable> FindNutVariable(const NutSnapshot& snapshot, std::string_view name) {
    for (NutVariable& variable : NutVariables(snapshot)) {
        if (NutEqualNoCase(variable.name, name)) {
            return std::move(variable);
        }
    }
    return std::nullopt;
}

std::string_view NutVariableDescription(std::string_view name) {
    for (const auto& [known, text] : kDescriptions) {
        if (NutEqualNoCase(known, name)) {
            return text;
        }
    }
    return "Description unavailable";
}

}  // namespace zelto
