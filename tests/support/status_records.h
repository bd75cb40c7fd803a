#pragma once
// Status records for tests, built field by field so that each test names only what it varies.

#include <string>

namespace zelto::fakes {

struct RecordFields {
    std::string mains = "228.0";
    std::string input = "228.0";
    std::string output = "228.0";
    std::string load = "015";
    std::string frequency = "50.0";
    std::string battery = "13.6";
    std::string temperature = "35.0";
    std::string flags = "00001001";
};

// "(" and the fields separated by single spaces, then CR: 47 bytes when every field has its
// documented width.
inline std::string BuildRecord(const RecordFields& f) {
    return "(" + f.mains + " " + f.input + " " + f.output + " " + f.load + " " + f.frequency + " " +
           f.battery + " " + f.temperature + " " + f.flags + "\r";
}

// A record with the given battery field and power source, everything else ordinary.
inline std::string PowerRecord(const std::string& battery, bool onBattery) {
    RecordFields f;
    f.battery = battery;
    f.flags = onBattery ? "10001001" : "00001001";
    return BuildRecord(f);
}

}  // namespace zelto::fakes
