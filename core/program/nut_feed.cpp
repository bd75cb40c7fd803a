#include "core/program/nut_feed.h"

#include <cstddef>
#include <string>
#include <utility>

#include "core/base/product.h"
#include "core/monitor/charge.h"
#include "core/monitor/policy.h"
#include "core/monitor/shutdown_policy.h"
#include "core/nut/nut_fsd_wait.h"
#include "core/program/nut_startup.h"

namespace zelto {
namespace {

// The first and last character of the flags b7..b0.
constexpr int kFirstFlag = 39;
constexpr int kLastFlag = 46;

// The charge the trigger acts at; nothing for a trigger that is not a charge level.
std::optional<int> TriggerCharge(int triggerIndex) {
    if (triggerIndex < 0 || static_cast<std::size_t>(triggerIndex) >= kTriggerEntries.size()) {
        return std::nullopt;
    }
    return kTriggerEntries[static_cast<std::size_t>(triggerIndex)].chargeLimit;
}

}  // namespace

NutRecordFields NutFieldsOf(const StatusRecord& record) {
    return NutRecordFields{
        std::string(record.MainsVoltage()),  std::string(record.InputVoltage()),
        std::string(record.OutputVoltage()), std::string(record.LoadText()),
        std::string(record.Frequency()),     std::string(record.BatteryVoltage()),
        std::string(record.Temperature()),   std::string(record.Chars(kFirstFlag, kLastFlag))};
}

NutFeed::NutFeed(Now now) : now_(std::move(now)) {
    snapshot_.deviceModel = kModelCaption;
    snapshot_.driverName = "upszelto";
    snapshot_.driverVersion = ProgramVersion();
}

void NutFeed::TickStarted(bool portOpen) {
    portOpen_ = portOpen;
    if (!portOpen) {
        // What came before the port closed is no reading of the port opened next.
        ticksWithoutRecord_ = kNutStaleTicks;
    } else if (ticksWithoutRecord_ < kNutStaleTicks) {
        ++ticksWithoutRecord_;
    }
    UpdateLink();
}

void NutFeed::RecordHandled(const StatusRecord& record, int batteryTenths,
                            const ProgramState& state) {
    const bool onBattery = record.OnBattery();
    // The same estimate the power state is about to make of this record.
    const int charge =
        ChargeEstimate(batteryTenths, onBattery ? kChargeBaseOnBattery : kChargeBaseOnMains);
    snapshot_.record = NutFieldsOf(record);
    snapshot_.batteryCharge = charge;
    snapshot_.lowBatteryCharge = TriggerCharge(state.TriggerIndex);
    // LB when this program's own trigger is met, so that secondaries act when it does. With
    // "при отказе сети" that is every record on battery.
    snapshot_.lowBattery = onBattery && (TriggersOnMainsFailure(state.TriggerIndex) ||
                                         ChargeTriggerMet(state.TriggerIndex, charge));
    // Mains back after the shutdown went through (a hibernated computer resumed): secondaries
    // that start up again must not be sent down by the old FSD.
    if (!onBattery && !committed_) {
        snapshot_.forcedShutdown = false;
    }
    ticksWithoutRecord_ = 0;
    UpdateLink();
}

void NutFeed::ShutdownCommitted() {
    snapshot_.forcedShutdown = true;
    committed_ = now_();
}

bool NutFeed::StillShuttingDown() {
    if (!committed_) {
        return false;
    }
    if (clients_ != nullptr && !NutFsdWaitOver(NutFsdWaitState(
                                   *committed_, now_(), clients_->LoginCount(),
                                   std::chrono::seconds(clients_->Settings().fsdWaitSeconds)))) {
        return true;
    }
    committed_.reset();
    return false;
}

void NutFeed::UpdateLink() {
    if (!portOpen_) {
        snapshot_.link = NutLink::NotConnected;
    } else if (!snapshot_.record || ticksWithoutRecord_ >= kNutStaleTicks) {
        snapshot_.link = NutLink::Stale;
    } else {
        snapshot_.link = NutLink::Fresh;
    }
}

}  // namespace zelto
