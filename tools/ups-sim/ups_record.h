#pragma once
// The 47-byte status record and the readings it is made from.

#include <cstddef>
#include <string>
#include <string_view>

namespace upssim {

// "(" mains " " input " " output " " load " " frequency " " battery " " temperature " " flags CR
constexpr std::size_t kRecordLength = 47;

// Where a field sits in the record (0-based), for faults that spoil one field.
struct RecordField {
    std::size_t offset;
    std::size_t width;
};
constexpr RecordField kLoadField{19, 3};
constexpr RecordField kBatteryField{28, 4};

struct Readings {
    double mainsVolts = 228.0;
    double inputVolts = 228.0;
    double outputVolts = 228.0;
    int loadPercent = 15;
    double frequencyHz = 50.0;
    double batteryVolts = 13.6;
    double temperatureC = 35.0;
    std::string flags = "00001001";  // b7 ... b0
};

// Always exactly kRecordLength bytes: values are clamped to what their fields can show.
std::string FormatRecord(const Readings& readings);

// The record with one field replaced by text, cut or padded with blanks to the field's width.
std::string ReplaceField(std::string record, RecordField field, std::string_view text);

}  // namespace upssim
