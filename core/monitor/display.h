#pragma once
// What the poll cycle and the power state show. The front end owns the widgets and the tray.

#include <string>

namespace zelto {

enum class Reading {
    MainsVoltage,    // Label1
    InputVoltage,    // Label2
    OutputVoltage,   // Label3
    Load,            // Label4
    Frequency,       // Label5
    BatteryVoltage,  // Label6
    Temperature,     // Label7
};

// What a reading the UPS does not report shows.
inline constexpr const char* kMissingReading = "—";

class Display {
public:
    virtual ~Display() = default;
    // Port list text black (true) or red (false): the outcome of the previous tick.
    virtual void ShowLinkState(bool ok) = 0;
    // Text that came from the UPS, already made safe to show as plain text.
    virtual void ShowReading(Reading which, const std::string& text) = 0;
    virtual void ShowLoadBar(int percent) = 0;             // already within 0-100
    virtual void ShowBeeperPicture(int picture) = 0;       // index into the 32 px image list
    virtual void ShowBatteryPicture(int picture) = 0;      // Image4, index into the 32 px list
    virtual void ShowCharge(const std::string& text) = 0;  // Label20
    virtual void ShowClockVisible(bool visible) = 0;       // Label21 and Label22
    virtual void ShowClock(const std::string& text) = 0;   // Label22
    // The tray picture (index into the 16 px image list) and tip; the tip is at most 63 bytes.
    virtual void ShowTray(int picture, const std::string& tip) = 0;
};

}  // namespace zelto
