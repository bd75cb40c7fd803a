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
    // state is worked out (which may open the countdown and keep this tick waiting).
    virtual void RecordHandled(const StatusRecord& record, int batteryTenths,
                               const ProgramState& state) = 0;
    // The countdown ended with go: the shutdown is committed. Returns once the secondaries have
    // shut down or their time is up; ticks go on meanwhile.
    virtual void ShutdownCommitted() = 0;
};

// The front end's part of the wait for the secondaries: a nested event loop, like the
// countdown's, so that ticks go on while it blocks its caller. Returns at once when nobody is
// logged in.
class SecondaryWait {
public:
    virtual ~SecondaryWait() = default;
    virtual void Wait() = 0;
};

}  // namespace zelto
