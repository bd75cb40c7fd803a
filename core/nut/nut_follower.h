#pragma once
// The connection to a followed UPS's server, kept for as long as the program follows it: connect,
// hold the conversation, poll once a tick, drop a connection that stalls and connect again after
// NutReconnectDelay, for ever; after the computer slept, what was read before is dropped and the
// connection is made again at once. Driven by the tick, over any transport; nothing waits.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/nut/nut_client_session.h"
#include "core/nut/nut_follow.h"
#include "core/nut/nut_line_buffer.h"

namespace zelto {

// One client connection, as a front end's transport makes it. Nothing blocks: a connection is
// started and its outcome seen in Current() at a later tick.
class NutClientSocket {
public:
    enum class State { Closed, Connecting, Connected };
    virtual ~NutClientSocket() = default;

    // Starts a connection to `host`:`port`, closing any other.
    virtual void Connect(const std::string& host, int port) = 0;
    virtual State Current() = 0;
    // What arrived since the last call, at most `limit` bytes, without waiting.
    virtual std::string Receive(std::size_t limit) = 0;
    virtual void Send(std::string_view bytes) = 0;
    virtual void Close() = 0;
};

// A gap this long between two ticks means the computer slept (or the program was stopped).
inline constexpr std::int64_t kNutSleepGapSeconds = 10;
// What one tick reads at most: a server that floods is read a tick at a time.
inline constexpr std::size_t kNutReadPerTick = 64 * 1024;
// Reads between two ticks, while a poll waits for its answers.
inline constexpr int kNutReadsBetweenTicks = 4;

class NutFollower {
public:
    NutFollower(NutClientSocket& socket, NutUpsAddress address, std::string user,
                std::string password);

    // One tick; `now` in seconds on a clock that goes on while the computer sleeps.
    void Tick(std::int64_t now);
    // Reads what the server answered so far, between ticks: the transport says an answer came.
    void ReadAnswers(std::int64_t now);
    // The polite end (LOGOUT) before this computer sleeps or the program exits.
    void Logout();
    // No new connection before `when`, unless the computer sleeps meanwhile (it connects again
    // at once on waking): after this computer asked to go down, logging in again would only hold
    // the primary back from switching the UPS off.
    void StayAwayUntil(std::int64_t when);

    bool Connected() const { return connected_; }
    // Connected, the server answered a poll in this tick or the one before, and it has a
    // status now.
    bool Answering(std::int64_t now) const;
    const NutClientSession& Session() const { return session_; }
    const NutFollowCritical& Status() const { return critical_; }
    // A refused login's words, handed out once for each time it changes; the login is tried
    // again with every reconnection, quietly.
    std::optional<std::string> TakeNewRefusal();

private:
    void Disconnect();
    void Drop(std::int64_t now);
    void Read(std::int64_t now);

    NutClientSocket& socket_;
    NutUpsAddress address_;
    NutClientSession session_;
    NutFollowCritical critical_;
    NutLineBuffer lines_;
    bool connected_ = false;
    bool attempting_ = false;  // a connection asked for and not yet made
    int attempt_ = 0;
    std::int64_t nextConnect_ = 0;
    std::int64_t connectedAt_ = 0;  // when the latest connection attempt began
    std::optional<std::int64_t> lastTick_;
    std::optional<std::int64_t> answeredAt_;
    std::optional<std::int64_t> stayAway_;
    int readsSinceTick_ = 0;
    std::string lastRefusal_;
    std::optional<std::string> newRefusal_;
};

}  // namespace zelto
