#include "ups_record.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace upssim {
namespace {

// A field of `width` characters with one decimal ("ddd.d" is width 5, "dd.d" width 4).
std::string Decimal(double value, int width) {
    const double largest = std::pow(10.0, width - 2) - 0.1;
    value = std::clamp(value, 0.0, largest);
    char text[16];
    std::snprintf(text, sizeof text, "%0*.1f", width, value);
    return text;
}

std::string Whole(int value, int width) {
    const int largest = static_cast<int>(std::pow(10.0, width)) - 1;
    value = std::clamp(value, 0, largest);
    char text[16];
    std::snprintf(text, sizeof text, "%0*d", width, value);
    return text;
}

std::string Flags(const std::string& flags) {
    std::string eight = flags.substr(0, 8);
    eight.resize(8, '0');
    return eight;
}

std::string Text(const std::string& text, std::size_t width) {
    std::string field = text.substr(0, width);
    field.resize(width, ' ');
    return field;
}

}  // namespace

std::string FormatIdentity(const Nameplate& plate) {
    return "#" + Text(plate.company, 15) + " " + Text(plate.model, 10) + " " +
           Text(plate.version, 10) + "\r";
}

std::string FormatRating(const Nameplate& plate) {
    return "#" + Decimal(plate.ratedVolts, 5) + " " + Whole(plate.ratedAmps, 3) + " " +
           Decimal(plate.ratedBatteryVolts, 5) + " " + Decimal(plate.ratedHertz, 4) + "\r";
}

std::string FormatRecord(const Readings& readings) {
    std::string record = "(";
    record += Decimal(readings.mainsVolts, 5) + " ";
    record += Decimal(readings.inputVolts, 5) + " ";
    record += Decimal(readings.outputVolts, 5) + " ";
    record += Whole(readings.loadPercent, 3) + " ";
    record += Decimal(readings.frequencyHz, 4) + " ";
    record += Decimal(readings.batteryVolts, 4) + " ";
    record += Decimal(readings.temperatureC, 4) + " ";
    record += Flags(readings.flags) + "\r";
    return record;
}

std::string ReplaceField(std::string record, RecordField field, std::string_view text) {
    std::string value(text.substr(0, field.width));
    value.resize(field.width, ' ');
    if (record.size() >= field.offset + field.width) {
        record.replace(field.offset, field.width, value);
    }
    return record;
}

}  // namespace upssim
