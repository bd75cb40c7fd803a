#pragma once
// The connection to a NUT server whose UPS this program follows, in the Windows front end: one
// non-blocking Winsock socket, looked at by the tick and never waited on. A connection that
// cannot be made, or that ends, reads as closed; the core's follower decides when to try again.
// Its answers may also be reported as they arrive, through the program's message loop.

#include "win32/windows_api.h"

#include <winsock2.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "core/nut/nut_follower.h"
#include "win32/unique_handle.h"
#include "win32/winsock_use.h"

namespace zelto {

// Bytes a peer may leave unread before the connection is given up: far more than a poll's
// requests, so only a server that stopped reading comes near it.
inline constexpr std::size_t kNutClientMostUnsent = 64 * 1024;

class WinsockNutClientSocket final : public NutClientSocket {
public:
    WinsockNutClientSocket() = default;
    ~WinsockNutClientSocket() override { Close(); }
    WinsockNutClientSocket(const WinsockNutClientSocket&) = delete;
    WinsockNutClientSocket& operator=(const WinsockNutClientSocket&) = delete;

    // Called when an answer arrives or the server ends the connection, once until the next
    // Receive: the follower may read it at once instead of at the next tick, which is what a
    // forced shutdown's second is worth. From the next connection on.
    void OnAnswer(std::function<void()> call);

    // A name is looked up here, which may take a moment; an address is not.
    void Connect(const std::string& host, int port) override;
    State Current() override;
    std::string Receive(std::size_t limit) override;
    void Send(std::string_view bytes) override;
    void Close() override;

private:
    // One of the addresses the host has, in the order the lookup gave them.
    struct Candidate {
        sockaddr_storage address{};
        int length = 0;
    };

    // A name's addresses, looked up away from the tick.
    struct Lookup {
        std::mutex mutex;
        bool done = false;
        std::vector<Candidate> found;
    };

    // The addresses `name` has (none when it has none), in the resolver's order.
    static std::vector<Candidate> Resolve(const std::wstring& name, const std::wstring& service,
                                          int flags);
    // Starts a connection to the next address; Closed once none is left.
    void TryNext();
    // Whether the connection under way was made: Connected, still Connecting, or on to the next
    // address.
    void SeeConnecting();
    void Flush();
    void Drop();

    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    // Before the socket, which must be closed while Winsock is still up.
    WinsockUse winsock_;
    // Where Winsock posts the socket's notices; made by OnAnswer. Outlives the socket.
    WindowHandle window_;
    std::function<void()> onAnswer_;
    // A Receive came since the last report: the next notice is reported.
    bool awaitingAnswer_ = false;
    SocketHandle socket_;
    State state_ = State::Closed;
    std::shared_ptr<Lookup> lookup_;
    std::vector<Candidate> candidates_;
    std::size_t next_ = 0;
    std::string unsent_;
    // The peer ended the connection, or it failed; seen by Current() once what came before it
    // was handed out.
    bool ended_ = false;
};

}  // namespace zelto
