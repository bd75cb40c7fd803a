#pragma once
// ScriptedUpsPort: a serial port in memory with a UPS behind it that a test steers second by
// second: mains present or failed, the battery voltage, the beeper, the device unplugged, and the
// same faults the simulator can put on the line (split, short, long, double, bad load, bad
// battery, garbage, flood, silence). It answers a status query at once, so the next tick reads
// the answer, and keeps no history beyond a few counters: its memory stays the same however long
// it runs. Header-only, standard C++.
//
//   ScriptedUpsPort ups;
//   ups.SetMains(false);                         // the next answers say "on battery"
//   ups.Queue(ScriptedUpsPort::Fault::Short);    // the next answer is one byte short
//   ups.SetPresent(false);                       // unplugged: the port closes, opens fail
//   ups.AnswerWith(RotationRecord);              // answer n is RotationRecord(n) (a benchmark)

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <random>
#include <string>
#include <string_view>

#include "core/link/com_port.h"

namespace zelto::test {

class ScriptedUpsPort : public ComPort {
public:
    enum class Fault { Split, Short, Long, Double, BadLoad, BadBattery, Garbage, Flood };

    // Counts of what reached the UPS.
    struct Received {
        std::uint64_t queries = 0;        // "Q1"
        std::uint64_t beeperToggles = 0;  // "Q"
        std::uint64_t switchOffs = 0;     // "SnnR0000"
        std::string lastSwitchOff;        // the latest of them, without the CR
        std::uint64_t other = 0;          // anything else
    };

    // The device's state, as the script sets it.
    void SetMains(bool present) { mainsPresent_ = present; }
    bool MainsPresent() const { return mainsPresent_; }
    void SetBatteryTenths(int tenths) { batteryTenths_ = tenths; }
    int BatteryTenths() const { return batteryTenths_; }
    void SetLoad(int percent) { load_ = percent; }
    // Stops answering status queries (and resumes).
    void SetSilent(bool silent) { silent_ = silent; }
    // Unplugged: an open port is lost at once and every open fails until it is back.
    void SetPresent(bool present) {
        present_ = present;
        if (!present) {
            open_ = false;
            rx_.clear();
        }
    }
    // Answers the status queries with `records(n)` for the n-th query (from 0) in place of the
    // device's state; faults still spoil them.
    void AnswerWith(std::function<std::string(std::uint64_t)> records) {
        records_ = std::move(records);
    }
    // Spoils the next answer; several queued spoil as many answers, in order.
    void Queue(Fault fault, std::size_t count = 0) { faults_.push_back({fault, count}); }

    const Received& Commands() const { return received_; }
    std::uint64_t Opens() const { return opens_; }
    // Bytes waiting now, whether or not the port is open (for checks on memory use).
    std::size_t Waiting() const { return rx_.size() + pendingHalf_.size(); }

    // ComPort
    OpenResult ComOpen(const std::string& path, int) override {
        open_ = present_ && !path.empty();
        opens_ += open_ ? 1 : 0;
        return open_ ? OpenResult::Opened : OpenResult::Failed;
    }
    void ComClose() override { open_ = false; }
    bool IsOpen() const override { return open_; }
    std::size_t ComInputCount() override { return open_ ? rx_.size() : 0; }
    std::string ComRead(std::size_t count) override {
        if (!open_) {
            return {};
        }
        std::string chunk = rx_.substr(0, count);
        rx_.erase(0, chunk.size());
        return chunk;
    }
    std::size_t ComWrite(std::string_view bytes) override {
        if (!open_) {
            return 0;
        }
        command_.append(bytes.data(), bytes.size());
        for (std::size_t end = command_.find('\r'); end != std::string::npos;
             end = command_.find('\r')) {
            Handle(command_.substr(0, end));
            command_.erase(0, end + 1);
        }
        return bytes.size();
    }
    void ComPurgeInput() override { rx_.clear(); }

    // The 47-byte record the device would answer now.
    std::string Record() const {
        const double mains = mainsPresent_ ? 228.0 : 0.0;
        char record[64];
        std::snprintf(record, sizeof record,
                      "(%05.1f %05.1f %05.1f %03d 50.0 %02d.%d 35.0 %s0001%s%s\r", mains, mains,
                      228.0, load_, batteryTenths_ / 10, batteryTenths_ % 10,
                      mainsPresent_ ? "0" : "1", "00", beeperOn_ ? "1" : "0");
        return record;
    }

private:
    struct QueuedFault {
        Fault fault;
        std::size_t count;
    };

    void Handle(const std::string& command) {
        if (command == "Q1") {
            Answer();
            ++received_.queries;
        } else if (command == "Q") {
            ++received_.beeperToggles;
            beeperOn_ = !beeperOn_;
        } else if (command.size() == 8 && command[0] == 'S' && command.substr(3) == "R0000") {
            ++received_.switchOffs;
            received_.lastSwitchOff = command;
        } else {
            ++received_.other;
        }
    }

    void Answer() {
        // The second half of a split answer comes first, like a line that stalled.
        rx_ += pendingHalf_;
        pendingHalf_.clear();
        if (silent_) {
            return;
        }
        std::string record = records_ ? records_(received_.queries) : Record();
        if (faults_.empty()) {
            rx_ += record;
            return;
        }
        const QueuedFault queued = faults_.front();
        faults_.pop_front();
        switch (queued.fault) {
            case Fault::Split:
                rx_ += record.substr(0, record.size() / 2);
                pendingHalf_ = record.substr(record.size() / 2);
                break;
            case Fault::Short:
                rx_ += record.substr(0, record.size() - 1);
                break;
            case Fault::Long:
                rx_ += record + "\n";
                break;
            case Fault::Double:
                rx_ += record + record;
                break;
            case Fault::BadLoad:
                rx_ += record.replace(19, 3, "0x?");
                break;
            case Fault::BadBattery:
                rx_ += record.replace(28, 4, "1.36");
                break;
            case Fault::Garbage: {
                std::uniform_int_distribution<int> byte(0, 255);
                for (std::size_t i = 0; i < queued.count; ++i) {
                    rx_ += static_cast<char>(byte(random_));
                }
                break;
            }
            case Fault::Flood:
                for (std::size_t i = 0; i < queued.count; i += record.size()) {
                    rx_ += record.substr(0, queued.count - i);
                }
                break;
        }
    }

    bool open_ = false;
    bool present_ = true;
    bool silent_ = false;
    bool mainsPresent_ = true;
    bool beeperOn_ = true;
    int batteryTenths_ = 136;
    int load_ = 15;
    std::string rx_;
    std::string pendingHalf_;
    std::string command_;
    std::deque<QueuedFault> faults_;
    std::function<std::string(std::uint64_t)> records_;
    Received received_;
    std::uint64_t opens_ = 0;
    std::mt19937 random_{1};
};

}  // namespace zelto::test
