#pragma once
// The event log's two outside parts for tests: a clock a test moves by hand, and the journal
// file in memory with failures to order. Header-only.
//
//   FakeClock time{start};
//   time.Advance(1);   // a second later for everything that asks it

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "core/events/event.h"
#include "core/events/journal.h"
#include "core/events/notifications.h"

namespace zelto::fakes {

class FakeClock final : public Clock {
public:
    Moment now;

    FakeClock() = default;
    explicit FakeClock(Moment start) : now(start) {}
    Moment Now() override { return now; }
    void Advance(std::int64_t seconds) { now.unixSeconds += seconds; }
    std::int64_t Seconds() const { return now.unixSeconds; }
};

// The journal file in memory, with failures to order. With `keep` off it only counts, so that a
// long run's memory is the program's own.
class MemoryJournalFile final : public JournalFile {
public:
    std::string current;
    std::string old;
    bool keep = true;
    bool failAppend = false;
    bool failRotate = false;
    std::uint64_t appends = 0;
    std::uint64_t rotations = 0;

    std::string Path() const override { return "/cfg/UPSZelto.log"; }
    std::uint64_t Size() override { return keep ? current.size() : counted_; }
    bool Append(std::string_view bytes) override {
        ++appends;
        if (failAppend) {
            return false;
        }
        counted_ += bytes.size();
        if (keep) {
            current += bytes;
        }
        return true;
    }
    bool Rotate() override {
        ++rotations;
        if (failRotate) {
            return false;
        }
        old = std::move(current);
        current.clear();
        counted_ = 0;
        return true;
    }

private:
    // The bytes appended since the last rotation, for a file that does not keep them.
    std::uint64_t counted_ = 0;
};

// Counts what was shown and keeps the titles, joined by " | "; with `keep` off it only counts.
class FakeNotifier final : public Notifier {
public:
    std::string titles;
    std::uint64_t shown = 0;
    bool keep = true;

    void Show(const Notification& notification) override {
        ++shown;
        if (keep) {
            titles += (titles.empty() ? "" : " | ") + notification.title;
        }
    }
};

}  // namespace zelto::fakes
