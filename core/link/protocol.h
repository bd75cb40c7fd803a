#pragma once
// The UPS's commands and its one answer, the fixed-width status record. This is the only
// place that knows their bytes and field positions.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace zelto {

inline constexpr std::string_view kStatusQuery = "Q1\r";
inline constexpr std::string_view kBeeperToggle = "Q\r";
// Withdraws a switch-off sent with SwitchOffCommand while its delay still runs.
inline constexpr std::string_view kCancelShutdown = "C\r";

// Minute codes of the delayed switch-off, for the UPS switch-off list entries 1 to 10 (entry 0,
// "никогда", sends nothing). Use ShutdownDelayCode for the 1-based lookup.
inline constexpr std::array<std::string_view, 10> ShutdownDelayCodes = {
    "01", "02", "03", "04", "05", "06", "07", "08", "09", "10"};
inline constexpr int kFirstShutdownDelay = 1;
inline constexpr int kLastShutdownDelay = 10;

// The code for list entry 1 to 10; RangeCheckError for any other index.
std::string_view ShutdownDelayCode(int index);
// "S" + code + "R0000" + CR, sent as one write.
std::string SwitchOffCommand(int index);

inline constexpr std::size_t kStatusRecordLength = 47;

// The length is the only test: neither the opening mark, the spaces nor the final CR are checked.
inline bool IsStatusRecord(std::string_view bytes) {
    return bytes.size() == kStatusRecordLength;
}

// UPS bytes made fit for a label: anything outside printable ASCII becomes '?', so a noisy line
// can never put control characters or broken UTF-8 on the screen.
std::string SafeText(std::string_view bytes);

// One status record. Positions are 1-based, as the UPS documents them; the record holds a copy
// of its bytes, so it outlives the buffer it came from.
class StatusRecord {
public:
    // The bytes must pass IsStatusRecord; anything else is a RangeCheckError.
    explicit StatusRecord(std::string_view bytes);

    // Characters first..last inclusive, raw.
    std::string_view Chars(int first, int last) const;
    char Char(int position) const;

    std::string_view MainsVoltage() const { return Chars(2, 6); }
    std::string_view InputVoltage() const { return Chars(8, 12); }
    std::string_view OutputVoltage() const { return Chars(14, 18); }
    std::string_view LoadText() const { return Chars(20, 22); }
    std::string_view Frequency() const { return Chars(24, 27); }
    std::string_view BatteryVoltage() const { return Chars(29, 32); }
    std::string_view Temperature() const { return Chars(34, 37); }

    // The load field as an integer, unclamped. Throws NotValidInteger.
    int LoadPercent() const;
    // Battery voltage in tenths of a volt: 10 x characters 29-30 plus character 32, the point
    // between them skipped. Throws NotValidInteger, or RangeCheckError outside 0-65535.
    int BatteryTenths() const;

    // Only a "1" in the mains-failure flag means on battery.
    bool OnBattery() const { return Char(39) == '1'; }
    // Only a "0" in the beeper flag means the beeper is off.
    bool BeeperOff() const { return Char(46) == '0'; }

private:
    std::string bytes_;
};

}  // namespace zelto
