#pragma once
// A serial port in memory with a UPS behind it that answers every status query at once with the
// next record of a fixed rotation, so a benchmark can put thousands of records through the
// program without waiting a second for each. It keeps no history: whatever it holds stays the
// same size however many records pass.

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

#include "core/link/com_port.h"

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

class MemoryComPort : public ComPort {
public:
    std::size_t Answered() const { return answered_; }

    OpenResult ComOpen(const std::string&, int) override {
        open_ = true;
        return OpenResult::Opened;
    }
    void ComClose() override { open_ = false; }
    bool IsOpen() const override { return open_; }
    std::size_t ComInputCount() override { return open_ ? rx_.size() : 0; }
    std::string ComRead(std::size_t count) override {
        std::string chunk = rx_.substr(0, count);
        rx_.erase(0, chunk.size());
        return chunk;
    }
    std::size_t ComWrite(std::string_view bytes) override {
        if (!open_) {
            return 0;
        }
        if (bytes == "Q1\r") {
            rx_ += RotationRecord(answered_++);
        }
        return bytes.size();
    }
    void ComPurgeInput() override { rx_.clear(); }

private:
    bool open_ = false;
    std::string rx_;
    std::size_t answered_ = 0;
};

}  // namespace zelto::bench
