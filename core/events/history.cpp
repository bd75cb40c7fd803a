#include "core/events/history.h"

#include <algorithm>

namespace zelto {
namespace {

constexpr std::uint16_t kNoVoltage = 0xFFFF;
constexpr std::uint8_t kNoPercent = 0xFF;
constexpr HistorySample kEmpty = {kNoVoltage, kNoVoltage, kNoVoltage, kNoPercent, kNoPercent};
constexpr auto kSlots = static_cast<std::int64_t>(kHistorySlots);

std::uint16_t PackVoltage(int tenths) {
    return tenths < 0 ? kNoVoltage : static_cast<std::uint16_t>(std::min(tenths, 0xFFFE));
}

std::uint8_t PackPercent(int percent) {
    return percent < 0 ? kNoPercent : static_cast<std::uint8_t>(std::min(percent, 0xFE));
}

int Unpack(std::uint16_t value, std::uint16_t none) {
    return value == none ? -1 : value;
}

bool IsEmpty(const HistorySample& s) {
    return s.mainsTenths == kNoVoltage && s.outputTenths == kNoVoltage &&
           s.batteryTenths == kNoVoltage && s.loadPercent == kNoPercent &&
           s.chargePercent == kNoPercent;
}

}  // namespace

History::History() : ring_(kHistorySlots, kEmpty) {}

HistorySample& History::SlotAt(std::int64_t slot) {
    return ring_[static_cast<std::size_t>(slot % kSlots)];
}

void History::Clear(std::int64_t firstSlot, std::int64_t lastSlot) {
    // Never more than the ring once round, however long the gap.
    firstSlot = std::max(firstSlot, lastSlot - kSlots + 1);
    for (std::int64_t slot = firstSlot; slot <= lastSlot; ++slot) {
        SlotAt(slot) = kEmpty;
    }
}

void History::Add(std::int64_t unixSeconds, const Readings& readings) {
    if (unixSeconds < 0) {
        return;
    }
    const std::int64_t slot = unixSeconds / kHistorySlotSeconds;
    if (newest_ < 0 || slot <= newest_ - kSlots) {
        std::fill(ring_.begin(), ring_.end(), kEmpty);
        newest_ = slot;
    } else if (slot > newest_) {
        Clear(newest_ + 1, slot - 1);
        newest_ = slot;
    }
    SlotAt(slot) = {PackVoltage(readings.mainsTenths), PackVoltage(readings.outputTenths),
                    PackVoltage(readings.batteryTenths), PackPercent(readings.loadPercent),
                    PackPercent(readings.chargePercent)};
}

std::vector<HistoryPoint> History::Points(std::int64_t now) const {
    std::vector<HistoryPoint> points;
    if (newest_ < 0 || now < 0) {
        return points;
    }
    const std::int64_t nowSlot = now / kHistorySlotSeconds;
    // Slots after the newest hold what the ring kept from a day before it.
    const std::int64_t last = std::min(nowSlot, newest_);
    const std::int64_t first = std::max(nowSlot, newest_) - kSlots + 1;
    for (std::int64_t slot = std::max<std::int64_t>(first, 0); slot <= last; ++slot) {
        const HistorySample& s = ring_[static_cast<std::size_t>(slot % kSlots)];
        if (IsEmpty(s)) {
            continue;
        }
        Readings readings;
        readings.mainsTenths = Unpack(s.mainsTenths, kNoVoltage);
        readings.outputTenths = Unpack(s.outputTenths, kNoVoltage);
        readings.batteryTenths = Unpack(s.batteryTenths, kNoVoltage);
        readings.loadPercent = Unpack(s.loadPercent, kNoPercent);
        readings.chargePercent = Unpack(s.chargePercent, kNoPercent);
        points.push_back({slot * kHistorySlotSeconds, readings});
    }
    return points;
}

}  // namespace zelto
