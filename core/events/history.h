#pragma once
// The last 24 hours of readings for the chart, in a ring of fixed size that never grows.
//
// One sample per 15-second slot: 5760 slots of 8 bytes are 46,080 bytes, within the 64 KiB the
// history may take. (10-second slots would need 8640 x 8 = 69,120 bytes, or a packed sample; a
// 24-hour chart has far fewer pixels than either has slots.) A slot's place in the ring follows
// from its time, so no time is stored: a slot keeps the latest record that arrived in it, and
// slots in which none arrived (the link lost, the computer asleep) read as gaps.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/events/event.h"

namespace zelto {

inline constexpr std::int64_t kHistorySlotSeconds = 15;
inline constexpr std::size_t kHistorySlots = 24 * 60 * 60 / kHistorySlotSeconds;

// One slot's readings, compact: voltages in tenths, 0xFFFF and 0xFF where not known.
struct HistorySample {
    std::uint16_t mainsTenths;
    std::uint16_t outputTenths;
    std::uint16_t batteryTenths;
    std::uint8_t loadPercent;  // 0-254, more shown as 254
    std::uint8_t chargePercent;
};
static_assert(sizeof(HistorySample) == 8);

struct HistoryPoint {
    std::int64_t unixSeconds;  // the start of the slot
    Readings readings;         // -1 where not known
};

class History {
public:
    History();

    // Keeps the readings in the slot of `unixSeconds`. A clock that jumps forward leaves gaps,
    // one set back by less than a day writes into the slots it passes again, and one set back
    // further starts the history anew.
    void Add(std::int64_t unixSeconds, const Readings& readings);
    // The slots of the 24 hours up to `now` that hold readings, oldest first.
    std::vector<HistoryPoint> Points(std::int64_t now) const;

    // The memory the ring takes, which never changes.
    std::size_t Bytes() const { return ring_.size() * sizeof(HistorySample); }

private:
    HistorySample& SlotAt(std::int64_t slot);
    void Clear(std::int64_t firstSlot, std::int64_t lastSlot);

    std::vector<HistorySample> ring_;
    std::int64_t newest_ = -1;  // the slot of the latest Add; -1 before the first
};

}  // namespace zelto
