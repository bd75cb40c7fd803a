#include "core/monitor/charge.h"

#include <cstdint>

#include "core/monitor/pictures.h"

namespace zelto {

std::uint8_t ChargeEstimate(int tenths, int base) {
    const std::int64_t above = static_cast<std::int64_t>(tenths) - base;
    if (above <= 0) {
        return 0;
    }
    // The charge in tenths of a percent: 7.7 per tenth of a volt is 77 tenths of a percent.
    const std::int64_t charge10 = above * 77;
    std::int64_t charge = charge10 / 10;
    const std::int64_t rest = charge10 % 10;
    if (rest > 5 || (rest == 5 && charge % 2 != 0)) {
        ++charge;
    }
    return static_cast<std::uint8_t>(charge > 100 ? 100 : charge);
}

int ChargeLevelPicture(int charge) {
    if (charge >= 100) {
        return kPictureBatteryFull;
    }
    if (charge >= 50) {
        return kPictureBatteryHalf;
    }
    if (charge >= 20) {
        return kPictureBatteryLow;
    }
    return kPictureBatteryCrossed;
}

}  // namespace zelto
