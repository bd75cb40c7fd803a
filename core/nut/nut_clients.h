#pragma once
// The NUT server's connections, for any transport: what each has sent and been answered, the
// limits on them, and the logins the primary waits for. The transport only moves bytes: it opens
// an entry per accepted connection, passes on what arrives, sends what comes back, and closes the
// entry however the connection ends.

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/nut/nut_line_buffer.h"
#include "core/nut/nut_session.h"
#include "core/nut/nut_settings.h"
#include "core/nut/nut_snapshot.h"

namespace zelto {

// Request lines a connection may have waiting during a failed-login delay; a client that sends
// more without reading its answers is dropped.
inline constexpr std::size_t kNutMaxWaitingLines = 64;

struct NutOutput {
    std::string text;  // to send, in order
    // Send the text, then close the connection.
    bool close = false;
    // Close the connection at once, unsent text and all: its output ran past the cap, or it
    // sent too much while it was held.
    bool drop = false;
    // A LOGIN failed: its reply is held back. Read nothing more from the connection, and after
    // Limits().failedLoginDelayMs call Resume for the reply and what follows it.
    bool hold = false;
    // One line per LOGIN for the program's log, with the user and the peer address (never a
    // password).
    std::vector<std::string> notices;
};

// Queues the output's text behind what a connection has not sent yet. False when the connection
// is to go at once, unsent text and all: the output says so, or the queue ran past the cap (a
// client that does not read its answers is not kept, nor are they). A close the output asks for
// sets `closeWhenSent`: what is queued is sent, then the connection closes.
bool QueueNutOutput(const NutLimits& limits, const NutOutput& output, std::string& unsent,
                    bool& closeWhenSent);

class NutClients {
public:
    using Clock = std::chrono::steady_clock;
    using Id = std::uint64_t;

    // `snapshot` is read at every request and must outlive this.
    NutClients(NutSettings settings, std::string version, const NutSnapshot& snapshot);

    // A connection accepted from `address`: its id, or nothing when the limits refuse it (the
    // transport closes it at once).
    std::optional<Id> Open(const std::string& address, Clock::time_point now);
    // Bytes received on the connection. Unknown ids (closed already) get nothing.
    NutOutput Receive(Id id, std::string_view bytes, Clock::time_point now);
    // A failed-login delay is over: the held reply and the answers to the lines behind it.
    NutOutput Resume(Id id, Clock::time_point now);
    // The connection ended, whichever side ended it and however: its login, if any, ends too.
    void Close(Id id);

    // Whether a failed-login delay holds the connection.
    bool Held(Id id) const;
    // Connections that completed no request line for the idle timeout: close each.
    std::vector<Id> Idle(Clock::time_point now) const;

    int OpenCount() const { return static_cast<int>(clients_.size()); }
    // Connections logged in now: the secondaries the primary waits for.
    int LoginCount() const;
    const NutSettings& Settings() const { return settings_; }
    const NutLimits& Limits() const { return settings_.limits; }

private:
    struct Client {
        std::string address;
        NutLineBuffer buffer;
        NutSession session;
        Clock::time_point lastLine;
        std::deque<NutLine> waiting;
        std::optional<NutReply> held;
        // A reply closed it: whatever else arrives is ignored.
        bool closing = false;
    };

    // Answers the waiting lines until they run out, one is a failed login, or one closes.
    NutOutput Answer(Client& client, NutOutput output);
    void Append(Client& client, NutOutput& output, const NutReply& reply);
    std::vector<std::string> LoginAddresses() const;

    NutSettings settings_;
    std::string version_;
    const NutSnapshot& snapshot_;
    std::map<Id, Client> clients_;
    Id nextId_ = 1;
};

}  // namespace zelto
