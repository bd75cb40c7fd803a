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

// What the device tells about itself: the identification ("I") and rating ("F") records.
struct Nameplate {
    std::string company = "ZELTO";  // 15 characters on the line
    std::string model = "SIM";      // 10
    std::string version = "1.0";    // 10
    double ratedVolts = 230.0;
    int ratedAmps = 3;
    double ratedBatteryVolts = 12.0;
    double ratedHertz = 50.0;
};

// "#" company " " model " " version CR: 39 bytes, each text cut or padded with blanks.
std::string FormatIdentity(const Nameplate& plate);
// "#" volts " " amps " " battery volts " " hertz CR, "#230.0 003 012.0 50.0\r": 22 bytes.
std::string FormatRating(const Nameplate& plate);

// Always exactly kRecordLength bytes: values are clamped to what their fields can show.
std::string FormatRecord(const Readings& readings);

// The record with one field replaced by text, cut or padded with blanks to the field's width.
std::string ReplaceField(std::string record, RecordField field, std::string_view text);

}  // namespace upssim
