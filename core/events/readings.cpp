#include "core/events/readings.h"

#include "core/base/errors.h"
#include "core/link/protocol.h"
#include "core/monitor/charge.h"

namespace zelto {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Runs a field's own conversion; a field that does not convert stays unknown.
template <class Read>
int OrUnknown(Read&& read) {
    try {
        return read();
    } catch (const Error&) {
        return -1;
    }
}

}  // namespace

std::optional<int> ParseTenths(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return std::nullopt;
    }
    text = text.substr(first, text.find_last_not_of(' ') - first + 1);
    const auto point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    // A voltage field is five characters long; the bound keeps the sum far from overflow.
    if (whole.empty() || whole.size() > 5) {
        return std::nullopt;
    }
    int tenths = 0;
    for (const char c : whole) {
        if (!IsDigit(c)) {
            return std::nullopt;
        }
        tenths = tenths * 10 + (c - '0');
    }
    tenths *= 10;
    if (point != std::string_view::npos) {
        if (text.size() != point + 2 || !IsDigit(text[point + 1])) {
            return std::nullopt;
        }
        tenths += text[point + 1] - '0';
    }
    return tenths;
}

Readings ReadingsOf(const StatusRecord& record) {
    Readings readings;
    readings.mainsTenths = ParseTenths(record.MainsVoltage()).value_or(-1);
    readings.outputTenths = ParseTenths(record.OutputVoltage()).value_or(-1);
    readings.batteryTenths = OrUnknown([&] { return record.BatteryTenths(); });
    readings.loadPercent = OrUnknown([&] { return record.LoadPercent(); });
    if (readings.batteryTenths >= 0) {
        readings.chargePercent = ChargeEstimate(
            readings.batteryTenths, record.OnBattery() ? kChargeBaseOnBattery : kChargeBaseOnMains);
    }
    return readings;
}

}  // namespace zelto
