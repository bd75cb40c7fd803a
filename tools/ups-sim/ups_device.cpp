#include "ups_device.h"

#include <algorithm>
#include <cstdio>

#include "printable.h"

namespace upssim {
namespace {

// Flag positions in the eight-character field (b7 first).
constexpr std::size_t kMainsFailedFlag = 0;  // b7
constexpr std::size_t kSwitchOffFlag = 6;    // b1: a switch-off is pending or done
constexpr std::size_t kBeeperFlag = 7;       // b0

// A host that never sends CR must not make the buffer grow without end.
constexpr std::size_t kLongestCommand = 64;

void SetFlag(std::string& flags, std::size_t position, bool on) {
    if (flags.size() > position) {
        flags[position] = on ? '1' : '0';
    }
}

// "SnnR0000": switch the output off in nn minutes (the restore part is always zeros).
std::optional<int> SwitchOffMinutes(std::string_view command) {
    if (command.size() != 8 || command[0] != 'S' || command.substr(3) != "R0000") {
        return std::nullopt;
    }
    const char tens = command[1];
    const char ones = command[2];
    if (tens < '0' || tens > '9' || ones < '0' || ones > '9') {
        return std::nullopt;
    }
    return (tens - '0') * 10 + (ones - '0');
}

double MinutesBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::ratio<60>>(to - from).count();
}

}  // namespace

UpsDevice::UpsDevice(DeviceSettings settings, Listener listener, Clock::time_point now)
    : settings_(settings),
      listener_(std::move(listener)),
      chargedBatteryVolts_(nominal_.batteryVolts),
      lastAdvance_(now),
      lastCommand_(now),
      lineFreeAt_(now),
      random_(settings.seed) {}

void UpsDevice::Receive(std::string_view bytes, Clock::time_point now) {
    Advance(now);
    lastCommand_ = now;
    for (const char c : bytes) {
        if (c == '\r') {
            const std::string command = std::move(received_);
            received_.clear();
            HandleCommand(command, now);
        } else if (c == '\n' && received_.empty()) {
            // A host that ends its lines with CR LF: the LF belongs to the previous command.
        } else {
            received_ += c;
            if (received_.size() >= kLongestCommand) {
                const std::string command = std::move(received_);
                received_.clear();
                HandleCommand(command, now);
            }
        }
    }
}

void UpsDevice::HandleCommand(std::string_view command, Clock::time_point now) {
    if (listener_.command) {
        listener_.command(command);
    }
    if (command == "Q1") {
        ScheduleAnswer(now);
    } else if (command == "I") {
        ScheduleAnswer(now, FormatIdentity(nameplate_));
    } else if (command == "F") {
        ScheduleAnswer(now, FormatRating(nameplate_));
    } else if (command == "Q") {
        std::string& flags = nominal_.flags;
        const bool on = flags.size() > kBeeperFlag && flags[kBeeperFlag] == '0';
        SetFlag(flags, kBeeperFlag, on);
        Report(on ? "beeper on" : "beeper off");
    } else if (const auto minutes = SwitchOffMinutes(command)) {
        const auto delay = std::chrono::duration<double>(*minutes * 60.0 / settings_.timeScale);
        switchOffAt_ = now + std::chrono::duration_cast<Clock::duration>(delay);
        SetFlag(nominal_.flags, kSwitchOffFlag, true);
        char text[48];
        std::snprintf(text, sizeof text, "switch-off in %02d min", *minutes);
        Report(text);
    } else if (command == "C") {
        CancelSwitchOff();
    } else {
        Report("unknown command ignored: " + Printable(command));
    }
}

void UpsDevice::ScheduleAnswer(Clock::time_point now, std::string fixed) {
    if (silent_) {
        return;
    }
    PendingAnswer answer;
    answer.due = std::max(now, lineFreeAt_) + settings_.answerDelay;
    if (!fixed.empty()) {
        answer.fixedBytes = std::move(fixed);
        answer.rendered = true;
    } else if (!faults_.empty()) {
        answer.fault = std::move(faults_.front());
        faults_.pop_front();
    }
    lineFreeAt_ = answer.due;
    pending_.push_back(std::move(answer));
}

void UpsDevice::Advance(Clock::time_point now) {
    if (now <= lastAdvance_) {
        return;
    }
    if (!mainsPresent_ && outputOn_) {
        const double drop =
            settings_.drainVoltsPerMinute * settings_.timeScale * MinutesBetween(lastAdvance_, now);
        double& battery = nominal_.batteryVolts;
        if (battery > settings_.batteryFloorVolts) {
            battery = std::max(settings_.batteryFloorVolts, battery - drop);
        }
    }
    lastAdvance_ = now;
    if (switchOffAt_ && now >= *switchOffAt_) {
        switchOffAt_.reset();
        SwitchOutputOff();
    }
}

void UpsDevice::SwitchOutputOff() {
    if (outputOn_) {
        outputOn_ = false;
        Report("output off");
    }
}

void UpsDevice::CancelSwitchOff() {
    if (switchOffAt_) {
        switchOffAt_.reset();
        SetFlag(nominal_.flags, kSwitchOffFlag, false);
        Report("switch-off cancelled");
    } else if (!outputOn_) {
        // The output stays off: only the mains (or the control channel) bring it back.
        Report("switch-off cancel too late: output already off");
    } else {
        Report("no switch-off to cancel");
    }
}

std::string UpsDevice::TakeDueOutput(Clock::time_point now) {
    Advance(now);
    std::string out;
    while (!pending_.empty() && pending_.front().due <= now) {
        out += Render(pending_.front(), now);
        pending_.pop_front();
    }
    return out;
}

std::string UpsDevice::Render(PendingAnswer& answer, Clock::time_point now) {
    if (answer.rendered) {
        return answer.fixedBytes;
    }
    const std::string record = CurrentRecord();
    if (!answer.fault) {
        return record;
    }
    const Fault& fault = *answer.fault;
    switch (fault.kind) {
        case FaultKind::Short:
            return record.substr(0, kRecordLength - 1);
        case FaultKind::Long:
            return record + "\n";
        case FaultKind::Double:
            return record + record;
        case FaultKind::BadLoad:
            return ReplaceField(record, kLoadField, fault.text);
        case FaultKind::BadBattery:
            return ReplaceField(record, kBatteryField, fault.text);
        case FaultKind::Garbage: {
            std::uniform_int_distribution<int> byte(0, 255);
            std::string garbage(fault.count, '\0');
            for (char& c : garbage) {
                c = static_cast<char>(byte(random_));
            }
            return garbage;
        }
        case FaultKind::Flood: {
            std::string flood;
            flood.reserve(fault.count + kRecordLength);
            while (flood.size() < fault.count) {
                flood += record;
            }
            flood.resize(fault.count);
            return flood;
        }
        case FaultKind::Split: {
            // The rest goes into the queue ahead of any later answer, like a line that stalls.
            const std::size_t half = kRecordLength / 2;
            PendingAnswer rest;
            rest.due = now + std::chrono::duration_cast<Clock::duration>(
                                 std::chrono::duration<double>(fault.pauseSeconds));
            rest.fixedBytes = record.substr(half);
            rest.rendered = true;
            lineFreeAt_ = std::max(lineFreeAt_, rest.due);
            for (auto& later : pending_) {
                later.due = std::max(later.due, rest.due);
            }
            pending_.insert(pending_.begin() + 1, std::move(rest));
            return record.substr(0, half);
        }
    }
    return record;
}

std::optional<Clock::time_point> UpsDevice::NextWakeup() const {
    std::optional<Clock::time_point> next;
    if (!pending_.empty()) {
        next = pending_.front().due;
    }
    if (switchOffAt_ && (!next || *switchOffAt_ < *next)) {
        next = switchOffAt_;
    }
    return next;
}

void UpsDevice::SetMains(bool present, Clock::time_point now) {
    Advance(now);
    if (present == mainsPresent_) {
        return;
    }
    mainsPresent_ = present;
    SetFlag(nominal_.flags, kMainsFailedFlag, !present);
    if (present) {
        // The charger lifts the battery straight back to its float voltage, and an output that
        // was switched off comes back with the mains.
        nominal_.batteryVolts = chargedBatteryVolts_;
        if (!outputOn_) {
            SetOutput(true, now);
        }
    }
    Report(present ? "mains on" : "mains off");
}

void UpsDevice::SetOutput(bool on, Clock::time_point now) {
    Advance(now);
    if (!on) {
        switchOffAt_.reset();
        SwitchOutputOff();
        return;
    }
    switchOffAt_.reset();
    SetFlag(nominal_.flags, kSwitchOffFlag, false);
    if (!outputOn_) {
        outputOn_ = true;
        Report("output on");
    }
}

void UpsDevice::SetBattery(double volts, Clock::time_point now) {
    Advance(now);
    nominal_.batteryVolts = volts;
    if (mainsPresent_) {
        chargedBatteryVolts_ = volts;
    }
}

void UpsDevice::SetDrain(double voltsPerMinute, Clock::time_point now) {
    Advance(now);
    settings_.drainVoltsPerMinute = voltsPerMinute;
}

void UpsDevice::ClearFaults() {
    faults_.clear();
    silent_ = false;
}

std::string UpsDevice::CurrentRecord() const {
    Readings shown = nominal_;
    if (!mainsPresent_) {
        shown.mainsVolts = 0.0;
        shown.inputVolts = 0.0;
    }
    if (!outputOn_) {
        shown.outputVolts = 0.0;
        shown.loadPercent = 0;
    }
    return FormatRecord(shown);
}

void UpsDevice::Report(const std::string& event) const {
    if (listener_.event) {
        listener_.event(event);
    }
}

}  // namespace upssim
