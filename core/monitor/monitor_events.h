#pragma once
// What the poll cycle and the shutdown procedure tell whoever keeps the program's past (the
// journal, the notifications, the history). The monitor says what happened; the listener reads
// the time and must not throw: a journal that fails never stops monitoring.

#include <cstdint>
#include <optional>
#include <string>

#include "core/monitor/power_requests.h"

namespace zelto {

class StatusRecord;

class MonitorEvents {
public:
    virtual ~MonitorEvents() = default;

    // A poll tick begins, whether or not a record will come of it.
    virtual void TickStarted() = 0;
    // A record of the right length arrived, before its readings are shown or acted on, so that
    // what it causes (a countdown) is told after it.
    // `charge` is the UPS's own figure where it reports one (a followed UPS's battery.charge);
    // otherwise the charge is estimated from the record's battery voltage.
    virtual void RecordReceived(const StatusRecord& record, std::optional<int> charge) = 0;

    virtual void CountdownStarted(std::uint16_t seconds) = 0;
    // `result` is the countdown's CountdownResult.
    virtual void CountdownEnded(int result) = 0;
    // The switch-off command for UPS switch-off list entry `delayIndex` (1-10 minutes) was sent.
    virtual void SwitchOffSent(int delayIndex) = 0;
    // The command that cancels a pending UPS switch-off was sent.
    virtual void CancelSent() = 0;
    virtual void PowerRequested(PowerAction action) = 0;
    virtual void PowerRefused(PowerAction action, const std::string& reason) = 0;
};

// For a monitor that keeps no past.
class NoMonitorEvents final : public MonitorEvents {
public:
    void TickStarted() override {}
    void RecordReceived(const StatusRecord&, std::optional<int>) override {}
    void CountdownStarted(std::uint16_t) override {}
    void CountdownEnded(int) override {}
    void SwitchOffSent(int) override {}
    void CancelSent() override {}
    void PowerRequested(PowerAction) override {}
    void PowerRefused(PowerAction, const std::string&) override {}
};

}  // namespace zelto
