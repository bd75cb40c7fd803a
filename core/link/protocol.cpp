#include "core/link/protocol.h"

#include <cstdint>

#include "core/base/conversion.h"
#include "core/base/errors.h"

namespace zelto {
namespace {

constexpr std::int32_t kMaxBatteryTenths = 65535;

// A numeric field converted from its safe text: every byte SafeText replaces is one the
// conversion rejects anyway, so only the error text changes, and it stays printable.
std::int32_t FieldToInt(std::string_view field) {
    return StrToInt(SafeText(field));
}

}  // namespace

std::string_view ShutdownDelayCode(int index) {
    if (index < kFirstShutdownDelay || index > kLastShutdownDelay) {
        throw RangeCheckError();
    }
    return ShutdownDelayCodes[static_cast<std::size_t>(index - kFirstShutdownDelay)];
}

std::string SwitchOffCommand(int index) {
    std::string command = "S";
    command += ShutdownDelayCode(index);
    command += "R0000\r";
    return command;
}

std::string SafeText(std::string_view bytes) {
    std::string text(bytes);
    for (char& c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte > 0x7E) {
            c = '?';
        }
    }
    return text;
}

StatusRecord::StatusRecord(std::string_view bytes) : bytes_(bytes) {
    if (!IsStatusRecord(bytes_)) {
        throw RangeCheckError();
    }
}

std::string_view StatusRecord::Chars(int first, int last) const {
    if (first < 1 || last < first || static_cast<std::size_t>(last) > bytes_.size()) {
        throw RangeCheckError();
    }
    return std::string_view(bytes_).substr(static_cast<std::size_t>(first - 1),
                                           static_cast<std::size_t>(last - first + 1));
}

char StatusRecord::Char(int position) const {
    return Chars(position, position).front();
}

int StatusRecord::LoadPercent() const {
    return FieldToInt(LoadText());
}

int StatusRecord::BatteryTenths() const {
    // Whole volts first, so that a record with both parts bad names the whole volts; 64-bit so
    // that no field content can overflow before the range check sees it.
    const std::int64_t volts = FieldToInt(Chars(29, 30));
    const std::int64_t tenths = 10 * volts + FieldToInt(Chars(32, 32));
    if (tenths < 0 || tenths > kMaxBatteryTenths) {
        throw RangeCheckError();
    }
    return static_cast<int>(tenths);
}

}  // namespace zelto
