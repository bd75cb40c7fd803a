#pragma once
// The machines that follow this UPS through this program over the network (its NUT server):
// they learn what each tick found, and once this program's shutdown is committed they get their
// time to shut down before this one switches the UPS and the computer off.

#include "core/base/program_state.h"

namespace zelto {

class StatusRecord;

class Secondaries {
public:
    virtual ~Secondaries() = default;
    // Every tick, before it reads the port: whether a port is open.
    virtual void TickStarted(bool portOpen) = 0;
    // A status record the tick handled, with its battery voltage in tenths, before its power
    // state is worked out.
    virtual void RecordHandled(const StatusRecord& record, int batteryTenths,
                               const ProgramState& state) = 0;
    // The countdown ended with go: the shutdown is committed and the secondaries are told.
    virtual void ShutdownCommitted() = 0;
    // Asked once at the commit and then every tick: true while the secondaries still have time
    // to shut down, which holds back the UPS command and the power request.
    virtual bool StillShuttingDown() = 0;
};

}  // namespace zelto
