#pragma once
// What the NUT server publishes, kept up to date from the poll cycle: the latest handled status
// record, the program's own charge estimate and trigger, the state of the link, and FSD once the
// shutdown is committed, and the wait for the secondaries that follows. The same for every front
// end; the front end's server only reads Snapshot() and lends the feed its connections.

#include <chrono>
#include <functional>
#include <optional>

#include "core/link/protocol.h"
#include "core/monitor/secondaries.h"
#include "core/nut/nut_clients.h"
#include "core/nut/nut_snapshot.h"

namespace zelto {

// Ticks in a row without a handled record after which the readings count as stale. One missed
// answer is noise on the line; three are a UPS that stopped talking.
inline constexpr int kNutStaleTicks = 3;

// The record's fields as the NUT variables are built from them.
NutRecordFields NutFieldsOf(const StatusRecord& record);

class NutFeed final : public Secondaries {
public:
    using Now = std::function<NutClients::Clock::time_point()>;

    explicit NutFeed(Now now = NutClients::Clock::now);

    void TickStarted(bool portOpen) override;
    void RecordHandled(const StatusRecord& record, int batteryTenths,
                       const ProgramState& state) override;
    // Sets FSD and starts the wait for the secondaries when a server is running.
    void ShutdownCommitted() override;
    // Until no secondary is logged in any more or the settings' wait has passed (NutFsdWait).
    bool StillShuttingDown() override;

    // The connections of the front end's server, while one runs; null for none.
    void SetServerClients(const NutClients* clients) { clients_ = clients; }

    const NutSnapshot& Snapshot() const { return snapshot_; }

private:
    void UpdateLink();

    Now now_;
    NutSnapshot snapshot_;
    const NutClients* clients_ = nullptr;
    bool portOpen_ = false;
    int ticksWithoutRecord_ = 0;
    // When the shutdown was committed, while the secondaries have their time: FSD stays
    // whatever the records say.
    std::optional<NutClients::Clock::time_point> committed_;
};

}  // namespace zelto
