#pragma once
// The NUT server's connections over any transport: what is read from each socket and when, what
// is sent and kept back, the failed-login delay, the peer's end, idle and misbehaving clients.
// The front end only accepts connections, hands each socket over behind NutSocket, and says when
// a socket is readable or writable and when the timer it keeps for NextTimeout() fires. Nothing
// here waits on the network.

#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/nut/nut_clients.h"

namespace zelto {

enum class NutReceive {
    Data,     // bytes were appended
    Nothing,  // none now; readiness will be reported again
    Ended,    // the peer closed its side: it will send nothing more
    Failed,   // the connection is broken
};

// One accepted, non-blocking connection of the front end.
class NutSocket {
public:
    virtual ~NutSocket() = default;
    // Appends up to `max` received bytes to `into`.
    virtual NutReceive Receive(std::string& into, std::size_t max) = 0;
    // How much of `bytes` the system took (0: none now, writable will be reported); nothing when
    // the connection is broken.
    virtual std::optional<std::size_t> Send(std::string_view bytes) = 0;
    // Whether the peer has closed its side, asked without taking any byte from the socket.
    virtual bool PeerClosed() = 0;
    // What to report from now on: readable while requests are taken, writable while answers
    // wait. A transport whose notices are edge-triggered may ignore it.
    virtual void Watch(bool readable, bool writable) = 0;
    // The connection ends: after the orderly end of what was sent, or at once with a reset. Nothing
    // is reported for it afterwards.
    virtual void Close(bool orderly) = 0;
};

// What one read takes from a connection. A connection held back is not read at all, so a client
// that sends meanwhile is slowed by TCP, not by the program's memory.
inline constexpr std::size_t kNutReadChunk = 4096;

class NutConnections {
public:
    using Clock = NutClients::Clock;
    using Id = NutClients::Id;
    // One line per LOGIN, for the program's log.
    using Notice = std::function<void(const std::string& line)>;

    // `snapshot` is read at every request and must outlive this.
    NutConnections(NutSettings settings, std::string version, const NutSnapshot& snapshot,
                   Notice notice);
    // Every connection still open is closed at once.
    ~NutConnections();
    NutConnections(const NutConnections&) = delete;
    NutConnections& operator=(const NutConnections&) = delete;

    // A connection accepted from `address`. Its id, or nothing when the limits refuse it, which
    // closes it before a byte is read.
    std::optional<Id> Accept(std::unique_ptr<NutSocket> socket, const std::string& address,
                             Clock::time_point now);
    // The socket is readable: one chunk is read and answered, so that one busy client cannot
    // keep the others waiting.
    void Readable(Id id, Clock::time_point now);
    void Writable(Id id);
    // The system says the peer closed: what it sent is read and answered, then it closes.
    void PeerClosed(Id id, Clock::time_point now);
    // The system reported the connection broken.
    void Failed(Id id);
    // Held replies whose delay is over go out, idle connections are dropped.
    void Timeout(Clock::time_point now);
    // When Timeout is next due.
    Clock::time_point NextTimeout() const;

    const NutClients& Clients() const { return clients_; }

private:
    struct Connection {
        std::unique_ptr<NutSocket> socket;
        // Answers the system did not take yet; sent when the socket is writable.
        std::string unsent;
        // Close once the unsent answers are out.
        bool closeWhenSent = false;
        // The end of a failed-login delay, while one holds the connection.
        std::optional<Clock::time_point> resumeAt;
    };

    // Reads one chunk and answers it; true when more may be read now.
    bool ReadOnce(Id id, Clock::time_point now);
    // The peer will send no more: what it sent is answered, then the connection closes.
    void PeerDone(Id id);
    // Queues what the core answered and acts on it; false when the connection is closing, held
    // or gone.
    bool Deliver(Id id, const NutOutput& output, Clock::time_point now);
    // Hands the system what it takes of the unsent answers; closes when they are out and the
    // connection is to close.
    void Send(Id id);
    void Resume(Id id, Clock::time_point now);
    // Ends the connections whose peers have closed without the system saying so; true when any
    // did.
    bool SweepEnded();
    void Watch(Id id);
    void Close(Id id, bool orderly);
    Connection* Find(Id id);

    NutClients clients_;
    Notice notice_;
    std::map<Id, Connection> connections_;
    Clock::time_point nextIdleCheck_{};
};

}  // namespace zelto
