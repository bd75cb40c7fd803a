#pragma once
// The program-wide state, in one object owned by the program. The names are the ones every
// part of the program uses for them.

#include <cstdint>
#include <string>

#include "core/base/texts.h"

namespace zelto {

// The countdown runs this long when "OFFAfter" is absent or unusable.
inline constexpr std::uint16_t kDefaultCountdownSeconds = 10;

// Where the shutdown of an outage stands. Each tick advances it; nothing waits inside a tick.
enum class ShutdownStage {
    Idle,                   // no shutdown under way
    Counting,               // the countdown shows
    WaitingForSecondaries,  // committed: the machines following over the network shut down first
};

struct ProgramState {
    // Poll cycle
    bool LinkOk = false;               // a record of the right length arrived in the latest tick
    std::string RxBuffer;              // bytes received in the current tick
    std::uint64_t RecordsHandled = 0;  // status records handled since start-up
    // The chosen UPS is one another machine serves over the network, not the serial port's.
    bool FollowingNetworkUps = false;

    // Power state
    std::uint8_t BatteryCharge = 0;      // percent 0-100
    std::uint8_t OnBatterySeconds = 0;   // 0-59
    std::uint32_t OnBatteryMinutes = 0;  // does not wrap: the clock reads 256:00 after 255:59

    // Shutdown
    bool ShutdownArmed = true;  // cleared when a countdown starts, set by mains present
    std::uint16_t CountdownSeconds = kDefaultCountdownSeconds;  // what the countdown shows
    ShutdownStage ShutdownStep = ShutdownStage::Idle;

    // Tray and window
    Language language = Language::Russian;  // of every text shown, "Language"
    std::string TrayTip;                    // at most 63 bytes
    bool WindowHidden = true;               // the program starts hidden in the tray

    // Selected indexes of the four lists of the main window; -1 is no selection.
    int TriggerIndex = -1;  // ComboBox1, "CompOff"
    int MethodIndex = -1;   // ComboBox2, "OffMethod"
    int UpsOffIndex = -1;   // ComboBox3, "OffUPS"
    int PortIndex = -1;     // ComboBox4, "COMPort"
};

}  // namespace zelto
