#pragma once
// The connection to a NUT server whose UPS this program follows, over a non-blocking socket of
// the system's that the tick looks at: connecting, sending and reading never wait. (No Qt
// Network, as for the NUT server: a library loaded for one socket costs memory all day.)

#include <netdb.h>

#include <functional>
#include <memory>
#include <string>

#include "core/nut/nut_follower.h"
#include "qt/socket_watch.h"

namespace zelto {

class PosixNutClientSocket final : public NutClientSocket {
public:
    // Called when an answer arrives, once until the next Receive: the follower may read it at
    // once instead of at the next tick, which is what a forced shutdown's second is worth.
    void OnAnswer(std::function<void()> call) { onAnswer_ = std::move(call); }

    void Connect(const std::string& host, int port) override;
    State Current() override;
    std::string Receive(std::size_t limit) override;
    void Send(std::string_view bytes) override;
    void Close() override;

    // What a name resolves to, freed as getaddrinfo wants.
    struct AddressesFree {
        void operator()(addrinfo* list) const { freeaddrinfo(list); }
    };
    using Addresses = std::unique_ptr<addrinfo, AddressesFree>;

private:
    struct Lookup;

    // Writes what the server has not taken yet; false when the connection failed.
    bool Flush();
    // Starts connecting to `addresses`, one after the other until one takes the connection
    // (Closed when none does).
    void Begin(Addresses addresses);
    void TryNext();

    int Fd() const { return watch_ ? watch_->Fd() : -1; }

    std::shared_ptr<Lookup> lookup_;
    Addresses addresses_;
    const addrinfo* next_ = nullptr;
    std::unique_ptr<SocketWatch> watch_;
    RetiredWatches retired_;
    std::function<void()> onAnswer_;
    State state_ = State::Closed;
    // Bytes may be waiting: the event loop said so, or the last read filled what it asked for.
    // A read that found the socket drained is not repeated until then: each tick and each answer
    // would otherwise pay for a call that returns nothing.
    bool mayHaveBytes_ = false;
    std::string unsent_;
};

}  // namespace zelto
