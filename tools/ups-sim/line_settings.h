#pragma once
// The line settings the host chose, as the device's serial port would be set by them. The device
// speaks only 2400 baud, 8 data bits, no parity, one stop bit; at anything else its bytes and the
// host's would be noise to each other.

#include <termios.h>

#include <string>

namespace upssim {

struct LineSettings {
    long outBaud = 0;  // 0 for B0 (hang up); -1 for an unusual speed, shown as "?"
    long inBaud = 0;   // 0: the same as outBaud
    int dataBits = 8;
    char parity = 'N';  // N, E, O, M (mark) or S (space)
    int stopBits = 1;
};

LineSettings LineSettingsOf(const termios& settings);
// "2400 8N1"; a different input speed as "2400/9600 8N1" (output/input).
std::string Describe(const LineSettings& line);
// 2400 8N1 both ways.
bool SuitsDevice(const LineSettings& line);

}  // namespace upssim
