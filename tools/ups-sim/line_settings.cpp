#include "line_settings.h"

#include <array>
#include <utility>

namespace upssim {
namespace {

long BaudOf(speed_t speed) {
    static constexpr std::array<std::pair<speed_t, long>, 19> kSpeeds{{
        {B0, 0},         {B50, 50},       {B75, 75},         {B110, 110},       {B134, 134},
        {B150, 150},     {B200, 200},     {B300, 300},       {B600, 600},       {B1200, 1200},
        {B1800, 1800},   {B2400, 2400},   {B4800, 4800},     {B9600, 9600},     {B19200, 19200},
        {B38400, 38400}, {B57600, 57600}, {B115200, 115200}, {B230400, 230400},
    }};
    for (const auto& [code, baud] : kSpeeds) {
        if (code == speed) {
            return baud;
        }
    }
    return -1;
}

}  // namespace

LineSettings LineSettingsOf(const termios& settings) {
    LineSettings line;
    line.outBaud = BaudOf(::cfgetospeed(&settings));
    line.inBaud = BaudOf(::cfgetispeed(&settings));
    switch (settings.c_cflag & CSIZE) {
        case CS5:
            line.dataBits = 5;
            break;
        case CS6:
            line.dataBits = 6;
            break;
        case CS7:
            line.dataBits = 7;
            break;
        default:
            line.dataBits = 8;
            break;
    }
    if ((settings.c_cflag & PARENB) == 0) {
        line.parity = 'N';
    } else {
        const bool odd = (settings.c_cflag & PARODD) != 0;
#ifdef CMSPAR
        if ((settings.c_cflag & CMSPAR) != 0) {
            line.parity = odd ? 'M' : 'S';
        } else
#endif
        {
            line.parity = odd ? 'O' : 'E';
        }
    }
    line.stopBits = (settings.c_cflag & CSTOPB) != 0 ? 2 : 1;
    return line;
}

std::string Describe(const LineSettings& line) {
    const auto speed = [](long baud) { return baud < 0 ? std::string("?") : std::to_string(baud); };
    std::string text = speed(line.outBaud);
    if (line.inBaud != 0 && line.inBaud != line.outBaud) {
        text += "/" + speed(line.inBaud);
    }
    return text + " " + std::to_string(line.dataBits) + line.parity + std::to_string(line.stopBits);
}

bool SuitsDevice(const LineSettings& line) {
    return line.outBaud == 2400 && (line.inBaud == 0 || line.inBaud == 2400) &&
           line.dataBits == 8 && line.parity == 'N' && line.stopBits == 1;
}

}  // namespace upssim
