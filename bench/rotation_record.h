#pragma once
// The records a benchmark puts through the program, one for each status query a ScriptedUpsPort
// answers at once, so that thousands pass without waiting a second for each.

#include <cstddef>
#include <cstdio>
#include <string>

namespace zelto::bench {

// Record `n` of a rotation that exercises every reading: voltages, load (also above 100),
// temperature and battery vary, the beeper flips, and every 50 records the mains fail for 30.
inline std::string RotationRecord(std::size_t n) {
    const bool onBattery = n % 50 >= 20;
    const bool beeperOn = n % 14 < 7;
    const unsigned battery = onBattery ? 100 + static_cast<unsigned>(n % 37) : 136;
    char record[64];
    std::snprintf(record, sizeof record, "(%05.1f %05.1f %05.1f %03u 50.%u %02u.%u %02u.%u %s%s\r",
                  onBattery ? 0.0 : 220.0 + static_cast<double>(n % 17),
                  onBattery ? 0.0 : 221.0 + static_cast<double>(n % 13),
                  218.0 + static_cast<double>(n % 11), static_cast<unsigned>(n % 120),
                  static_cast<unsigned>(n % 10), battery / 10, battery % 10,
                  30 + static_cast<unsigned>(n % 9), static_cast<unsigned>(n % 10),
                  onBattery ? "1000100" : "0000100", beeperOn ? "1" : "0");
    return record;
}

}  // namespace zelto::bench
