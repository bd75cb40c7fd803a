#pragma once
// The program-wide state, in one object owned by the program. The names are the ones every
// part of the program uses for them.

#include <cstdint>
#include <string>

namespace zelto {

// The countdown runs this long when "OFFAfter" is absent or unusable.
inline constexpr std::uint16_t kDefaultCountdownSeconds = 10;

struct ProgramState {
    // Poll cycle
    bool LinkOk = false;   // a record of the right length arrived in the latest tick
    std::string RxBuffer;  // bytes received in the current tick

    // Power state
    std::uint8_t BatteryCharge = 0;      // percent 0-100
    std::uint8_t OnBatterySeconds = 0;   // 0-59
    std::uint32_t OnBatteryMinutes = 0;  // does not wrap: the clock reads 256:00 after 255:59

    // Shutdown
    bool ShutdownArmed = true;  // cleared when a countdown starts, set by mains present
    std::uint16_t CountdownSeconds = kDefaultCountdownSeconds;  // what the countdown shows

    // Tray and window
    std::string TrayTip;       // at most 63 bytes
    bool WindowHidden = true;  // the program starts hidden in the tray

    // Selected indexes of the four lists of the main window; -1 is no selection.
    int TriggerIndex = -1;  // ComboBox1, "CompOff"
    int MethodIndex = -1;   // ComboBox2, "OffMethod"
    int UpsOffIndex = -1;   // ComboBox3, "OffUPS"
    int PortIndex = -1;     // ComboBox4, "COMPort"

    // Counts handled records, so that a tick resumed after a nested countdown can tell that
    // newer records were handled meanwhile and must not overwrite their state.
    std::uint64_t RecordSequence = 0;
};

}  // namespace zelto
