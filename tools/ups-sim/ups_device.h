#pragma once
// The simulated UPS: what it answers on the serial line and how its state moves with time. It
// does no I/O itself; the loop feeds it received bytes and the time and sends what it hands back.

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <string_view>

#include "ups_record.h"

namespace upssim {

using Clock = std::chrono::steady_clock;

// Misbehaviours for the next answer; each queued fault spoils one answer, in order.
enum class FaultKind { Split, Short, Long, Double, BadLoad, BadBattery, Garbage, Flood };

struct Fault {
    FaultKind kind;
    std::string text;           // BadLoad, BadBattery: the field's replacement
    std::size_t count = 0;      // Garbage, Flood: bytes to send
    double pauseSeconds = 1.5;  // Split: the gap between the halves
};

struct DeviceSettings {
    double timeScale = 1.0;            // device minutes per real minute
    double drainVoltsPerMinute = 0.1;  // battery fall on battery, per device minute
    double batteryFloorVolts = 10.0;   // draining stops here
    Clock::duration answerDelay = std::chrono::microseconds(195833);  // 47 bytes at 2400 baud
    unsigned seed = 1;                                                // for garbage bytes
};

class UpsDevice {
public:
    // Told about every command from the host (raw text, CR removed) and every notable event.
    struct Listener {
        std::function<void(std::string_view command)> command;
        std::function<void(const std::string& event)> event;
    };

    UpsDevice(DeviceSettings settings, Listener listener, Clock::time_point now);

    // Bytes from the host; each CR ends a command.
    void Receive(std::string_view bytes, Clock::time_point now);
    // Lets time pass: battery drain, a due switch-off.
    void Advance(Clock::time_point now);
    // Bytes due for the line by now (empty when nothing is due).
    std::string TakeDueOutput(Clock::time_point now);
    // When Advance or TakeDueOutput next has something to do.
    std::optional<Clock::time_point> NextWakeup() const;
    // When the host last sent anything.
    Clock::time_point LastCommandTime() const { return lastCommand_; }

    // The state as the control channel changes it.
    void SetMains(bool present, Clock::time_point now);
    void SetMainsVolts(double volts) { nominal_.mainsVolts = nominal_.inputVolts = volts; }
    void SetOutput(bool on, Clock::time_point now);
    void SetOutputVolts(double volts) { nominal_.outputVolts = volts; }
    void SetBattery(double volts, Clock::time_point now);
    void SetLoad(int percent) { nominal_.loadPercent = percent; }
    void SetTemperature(double celsius) { nominal_.temperatureC = celsius; }
    void SetFrequency(double hertz) { nominal_.frequencyHz = hertz; }
    void SetFlags(const std::string& flags) { nominal_.flags = flags; }
    void SetDrain(double voltsPerMinute, Clock::time_point now);
    void SetSilent(bool silent) { silent_ = silent; }
    void QueueFault(Fault fault) { faults_.push_back(std::move(fault)); }
    void ClearFaults();

    // The record the device would send now.
    std::string CurrentRecord() const;
    bool MainsPresent() const { return mainsPresent_; }
    bool OutputOn() const { return outputOn_; }
    double BatteryVolts() const { return nominal_.batteryVolts; }

private:
    struct PendingAnswer {
        Clock::time_point due;
        std::optional<Fault> fault;
        std::string fixedBytes;  // already rendered (second half of a split answer)
        bool rendered = false;
    };

    void HandleCommand(std::string_view command, Clock::time_point now);
    // An empty `fixed` is a status answer, rendered when it is due and open to faults.
    void ScheduleAnswer(Clock::time_point now, std::string fixed = {});
    std::string Render(PendingAnswer& answer, Clock::time_point now);
    void SwitchOutputOff();
    void CancelSwitchOff();
    void Report(const std::string& event) const;

    DeviceSettings settings_;
    Listener listener_;
    Readings nominal_;
    Nameplate nameplate_;
    double chargedBatteryVolts_;  // what the battery goes back to when mains return
    bool mainsPresent_ = true;
    bool outputOn_ = true;
    bool silent_ = false;
    std::optional<Clock::time_point> switchOffAt_;
    Clock::time_point lastAdvance_;
    Clock::time_point lastCommand_;
    Clock::time_point lineFreeAt_;
    std::string received_;
    std::deque<Fault> faults_;
    std::deque<PendingAnswer> pending_;
    std::mt19937 random_;
};

}  // namespace upssim
