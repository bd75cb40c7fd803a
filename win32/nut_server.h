#pragma once
// The NUT server's transport in the Windows front end: Winsock sockets, each non-blocking and
// reported by WSAAsyncSelect to a hidden message-only window, so the program's one message loop
// serves them between its ticks. No call here waits on the network, so a client can never hold
// up a tick or the countdown. What to answer is the core's NutClients' business.

#include "win32/windows_api.h"

#include <winsock2.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/base/error_reporter.h"
#include "core/base/settings.h"
#include "core/nut/nut_clients.h"
#include "core/program/nut_feed.h"

namespace zelto {

class NutServer final {
public:
    // Serves what `feed` publishes and lends it the logins its wait counts, until destroyed.
    NutServer(NutSettings settings, NutFeed& feed);
    ~NutServer();
    NutServer(const NutServer&) = delete;
    NutServer& operator=(const NutServer&) = delete;

    // Start-up: the settings from section "NUT", and a server when they turn it on and at least
    // one address could be listened on. What went wrong is reported once, in one text.
    static std::unique_ptr<NutServer> Start(Settings& settings, ErrorReporter& errors,
                                            NutFeed& feed);

    // Listens on every address of the settings. The failures, as "endpoint (reason)"; a system
    // without IPv6 is no failure for ::1.
    std::vector<std::string> Listen();
    bool Listening() const { return !listeners_.empty(); }
    // The port listened on (the one the system picked, for port 0).
    int Port() const;

    int OpenCount() const { return clients_.OpenCount(); }
    int LoginCount() const { return clients_.LoginCount(); }

private:
    using Id = NutClients::Id;

    struct Connection {
        SOCKET socket = INVALID_SOCKET;
        // Answers the system did not take yet; sent on FD_WRITE.
        std::string unsent;
        // Close once the unsent answers are out.
        bool closeWhenSent = false;
    };

    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    void Accept(SOCKET listener);
    void SocketEvent(UINT message, SOCKET socket, WORD event, WORD error);
    // Takes one chunk from the connection and answers it; false when nothing more is to be read
    // now (held, closed, or no data).
    bool Read(Id id);
    // The peer will send no more: answer what it sent, then close.
    void PeerDone(Id id);
    // Ends the connections whose peers have closed without the system saying so; true when any
    // did.
    bool SweepEnded();
    // Queues what the core answered and acts on it; false when the connection is closing or
    // gone.
    bool Deliver(Id id, const NutOutput& output);
    // Hands the system what it takes of the unsent answers; closes when they are out and the
    // connection is to close.
    void Send(Id id);
    void Resume(Id id);
    // Closes the connection at once, unsent answers and all.
    void Drop(Id id);
    void DropIdle();
    Connection* Find(Id id);

    NutFeed& feed_;
    NutClients clients_;
    bool winsock_ = false;
    HWND window_ = nullptr;
    std::vector<SOCKET> listeners_;
    std::map<Id, Connection> connections_;
    std::map<SOCKET, Id> ids_;
};

}  // namespace zelto
