// The once-a-second poll: show the answer to the previous tick's query, then send the next one.

#include <algorithm>
#include <cstddef>
#include <string>

#include "core/base/errors.h"
#include "core/link/protocol.h"
#include "core/monitor/monitor.h"
#include "core/monitor/pictures.h"

namespace zelto {
namespace {

// The largest receive queue a tick reads in one go.
constexpr std::size_t kMaxReadCount = 65535;

const std::string kVolts = " V";
const std::string kPercent = " %";
const std::string kHertz = " Hz";
const std::string kDegrees = " °C";

}  // namespace

void Monitor::Timer1Timer() {
    events_.TickStarted();
    // A countdown opened by this tick's record shows its full first second.
    const bool countingBefore = parts_.state.ShutdownStep == ShutdownStage::Counting;
    const bool polled = RunGuarded(parts_.errors, [this] {
        parts_.display.ShowLinkState(parts_.state.LinkOk);
        if (parts_.secondaries) {
            parts_.secondaries->TickStarted(parts_.port.IsOpen());
        }
        ParseStatus();
    });
    // Guarded on its own: a record that fails must not hold the shutdown back. After the record,
    // so that mains back in this tick's record cancel before a last second could go ahead.
    RunGuarded(parts_.errors, [this, countingBefore] { AdvanceShutdown(countingBefore); });
    // An error ends the poll of this tick: the buffer stays as it was and no query goes out.
    if (polled) {
        RunGuarded(parts_.errors, [this] {
            parts_.state.RxBuffer.clear();
            parts_.port.ComWrite(kStatusQuery);
        });
    }
}

void Monitor::ParseStatus() {
    ProgramState& state = parts_.state;
    state.LinkOk = false;
    if (!ReadStatus()) {
        return;
    }
    state.LinkOk = true;
    const StatusRecord record(state.RxBuffer);
    // Told before it is acted on, so that the mains lost comes before the countdown it starts.
    events_.RecordReceived(record, std::nullopt);
    const int batteryTenths = ShowRecord(record);
    if (parts_.secondaries) {
        parts_.secondaries->RecordHandled(record, batteryTenths, state);
    }
    ++state.RecordsHandled;
    HandlePowerState(record.OnBattery(), batteryTenths);
}

bool Monitor::ReadStatus() {
    ComPort& port = parts_.port;
    const std::size_t waiting = port.ComInputCount();
    if (waiting > kMaxReadCount) {
        // Nothing that large can be a record. Discard it so that the link recovers on the next
        // tick, and say so once rather than every second.
        port.ComPurgeInput();
        if (!oversizeReported_) {
            oversizeReported_ = true;
            parts_.errors.Report(RangeCheckError().what());
        }
        return false;
    }
    oversizeReported_ = false;
    if (waiting == 0) {
        return false;
    }
    parts_.state.RxBuffer += port.ComRead(waiting);
    return IsStatusRecord(parts_.state.RxBuffer);
}

int Monitor::ShowRecord(const StatusRecord& record) {
    Display& display = parts_.display;
    display.ShowReading(Reading::MainsVoltage, SafeText(record.MainsVoltage()) + kVolts);
    display.ShowReading(Reading::InputVoltage, SafeText(record.InputVoltage()) + kVolts);
    display.ShowReading(Reading::OutputVoltage, SafeText(record.OutputVoltage()) + kVolts);
    display.ShowReading(Reading::Load, SafeText(record.LoadText()) + kPercent);
    display.ShowLoadBar(std::clamp(record.LoadPercent(), 0, 100));
    display.ShowReading(Reading::Frequency, SafeText(record.Frequency()) + kHertz);
    display.ShowReading(Reading::Temperature, SafeText(record.Temperature()) + kDegrees);
    display.ShowBeeperPicture(record.BeeperOff() ? kPictureBeeperOff : kPictureBeeperOn);
    display.ShowReading(Reading::BatteryVoltage, SafeText(record.BatteryVoltage()) + kVolts);
    return record.BatteryTenths();
}

}  // namespace zelto
