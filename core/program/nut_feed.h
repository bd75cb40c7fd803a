#pragma once
// What the NUT server publishes, kept up to date from the poll cycle: the latest handled status
// record, the program's own charge estimate and trigger, the state of the link, and FSD once the
// shutdown is committed. The same for every front end; the front end's server only reads
// Snapshot() and supplies the wait for the secondaries.

#include "core/link/protocol.h"
#include "core/monitor/secondaries.h"
#include "core/nut/nut_snapshot.h"

namespace zelto {

// Ticks in a row without a handled record after which the readings count as stale. One missed
// answer is noise on the line; three are a UPS that stopped talking.
inline constexpr int kNutStaleTicks = 3;

// The record's fields as the NUT variables are built from them.
NutRecordFields NutFieldsOf(const StatusRecord& record);

class NutFeed final : public Secondaries {
public:
    NutFeed();

    void TickStarted(bool portOpen) override;
    void RecordHandled(const StatusRecord& record, int batteryTenths,
                       const ProgramState& state) override;
    // Sets FSD, then waits for the secondaries when a server is running.
    void ShutdownCommitted() override;

    // The front end's server, while one runs; null for none.
    void SetSecondaryWait(SecondaryWait* wait) { wait_ = wait; }

    const NutSnapshot& Snapshot() const { return snapshot_; }

private:
    void UpdateLink();

    NutSnapshot snapshot_;
    SecondaryWait* wait_ = nullptr;
    bool portOpen_ = false;
    int ticksWithoutRecord_ = 0;
    // The wait for the secondaries is running: FSD stays whatever the records say.
    bool waiting_ = false;
};

}  // namespace zelto
