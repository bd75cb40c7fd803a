#include "core/program/network_ups.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "core/link/protocol.h"
#include "core/nut/nut_follow.h"
#include "core/nut/nut_numbers.h"
#include "core/nut/nut_text.h"

namespace zelto {
namespace {

// Where each window reading comes from, and where it goes in the status record the journal and
// the history take: its first character, width and decimals there.
struct FollowedField {
    Reading reading;
    std::string_view variable;
    std::string_view unit;
    std::size_t first;
    std::size_t width;
    int decimals;
};

constexpr FollowedField kFollowedFields[] = {
    {Reading::MainsVoltage, "input.voltage", " V", 2, 5, 1},
    {Reading::InputVoltage, "input.voltage.fault", " V", 8, 5, 1},
    {Reading::OutputVoltage, "output.voltage", " V", 14, 5, 1},
    {Reading::Load, "ups.load", " %", 20, 3, 0},
    {Reading::Frequency, "input.frequency", " Hz", 24, 4, 1},
    {Reading::BatteryVoltage, "battery.voltage", " V", 29, 4, 1},
    {Reading::Temperature, "ups.temperature", " °C", 34, 4, 1},
};

// The record's flag characters: on battery, battery low, then the beeper's last.
constexpr std::size_t kOnBatteryFlag = 39;
constexpr std::size_t kBatteryLowFlag = 40;
constexpr std::size_t kBeeperFlag = 46;

const std::string* Find(const std::map<std::string, std::string, std::less<>>& values,
                        std::string_view name) {
    const auto found = values.find(name);
    return found == values.end() || found->second.empty() ? nullptr : &found->second;
}

// A number fitted to its field, zero-padded on the left as the UPS writes it; a value that does
// not fit leaves the field blank, unknown to the journal rather than wrong.
void PutField(std::string& record, const FollowedField& field, double value) {
    std::string text = FormatNutFixed(value, field.decimals);
    if (value >= 0 && text.size() < field.width) {
        text.insert(0, field.width - text.size(), '0');
    }
    if (text.size() == field.width) {
        record.replace(field.first - 1, field.width, text);
    }
}

}  // namespace

std::optional<std::string> NetworkUpsPath(const NetworkUpsForm& form) {
    std::string path = form.ups + "@" + form.host;
    if (!ParseNutUpsAddress(path)) {
        return std::nullopt;
    }
    return path;
}

bool IsNetworkUpsPath(std::string_view path) {
    return ParseNutUpsAddress(path).has_value();
}

FollowedUps FollowedUpsOf(const std::map<std::string, std::string, std::less<>>& values,
                          bool answering, bool critical, bool forcedShutdown) {
    FollowedUps ups;
    ups.answering = answering;
    ups.critical = critical;
    ups.forcedShutdown = forcedShutdown;
    std::string record(kStatusRecordLength, ' ');
    record.front() = '(';
    record.back() = '\r';
    for (const FollowedField& field : kFollowedFields) {
        const std::string* value = Find(values, field.variable);
        if (!value) {
            continue;
        }
        ups.readings[static_cast<std::size_t>(field.reading)] =
            NutSafeValue(*value) + std::string(field.unit);
        if (const auto number = ParseNutDecimal(*value)) {
            PutField(record, field, *number);
            if (field.reading == Reading::Load) {
                ups.loadPercent = static_cast<int>(std::lround(*number));
            }
        }
    }
    if (const std::string* charge = Find(values, "battery.charge")) {
        if (const auto number = ParseNutDecimal(*charge)) {
            ups.charge = static_cast<int>(std::lround(std::clamp(*number, 0.0, 100.0)));
        }
    }
    const std::string* status = Find(values, "ups.status");
    ups.onBattery = status && NutStatusHas(*status, "OB");
    ups.batteryLow = status && NutStatusHas(*status, "LB");
    if (const std::string* beeper = Find(values, "ups.beeper.status")) {
        ups.beeperOff = *beeper != "enabled";
    }
    // Flags b7 to b0; only those the server's words tell are raised.
    record.replace(kOnBatteryFlag - 1, 8, "00000001");
    record[kOnBatteryFlag - 1] = ups.onBattery ? '1' : '0';
    record[kBatteryLowFlag - 1] = ups.batteryLow ? '1' : '0';
    record[kBeeperFlag - 1] = ups.beeperOff.value_or(false) ? '0' : '1';
    ups.record = std::move(record);
    return ups;
}

}  // namespace zelto
