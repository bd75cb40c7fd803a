#pragma once
// What the program knows about its UPS at one moment, in the plain form the NUT server publishes.
// The monitor fills it after each tick; the server never reads the program's state directly.

#include <optional>
#include <string>

namespace zelto {

// Where the readings stand, as NUT clients are told: DRIVER-NOT-CONNECTED while no port is open,
// DATA-STALE while the port is open but no valid status record came for a few ticks (or none
// yet), readings only when Fresh.
enum class NutLink { NotConnected, Stale, Fresh };

// The fields of the latest status record, raw, as the UPS sent them.
struct NutRecordFields {
    std::string mainsVoltage;       // characters 2-6, published as input.voltage
    std::string inputFaultVoltage;  // characters 8-12, input.voltage.fault
    std::string outputVoltage;      // characters 14-18
    std::string load;               // characters 20-22, percent
    std::string frequency;          // characters 24-27
    std::string batteryVoltage;     // characters 29-32
    std::string temperature;        // characters 34-37
    // Characters 39-46, the flags b7..b0: mains failure, battery low, boost or buck, UPS failed,
    // line-interactive type, test running, shutdown active, beeper on. Only '1' sets a flag.
    std::string flags;
};

struct NutSnapshot {
    NutLink link = NutLink::NotConnected;
    std::optional<NutRecordFields> record;

    int batteryCharge = 0;  // the program's own estimate, percent
    // The charge at which the program acts, published as battery.charge.low; nothing when its
    // trigger is not a charge level.
    std::optional<int> lowBatteryCharge;
    // The program's trigger is met while on battery: published as LB, so secondaries act when
    // this program does, not only at the UPS's own late low-battery flag.
    bool lowBattery = false;
    // This program's shutdown is committed: ups.status leads with FSD until the program ends.
    bool forcedShutdown = false;

    std::string deviceMfr;    // published as device.mfr and ups.mfr when not empty
    std::string deviceModel;  // device.model and ups.model
    std::string driverName;   // driver.name
    std::string driverVersion;
};

}  // namespace zelto
