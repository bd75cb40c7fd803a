#pragma once
// The NUT server's transport in the Windows front end: Winsock sockets, each non-blocking and
// reported by WSAAsyncSelect to a hidden message-only window, so the program's one message loop
// serves them between its ticks. No call here waits on the network, so a client can never hold
// up a tick or the countdown. Reading, answering and closing each connection is the core's
// NutConnections' business.

#include "win32/windows_api.h"

#include <winsock2.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/base/error_reporter.h"
#include "core/base/settings.h"
#include "core/nut/nut_connections.h"
#include "core/program/nut_feed.h"
#include "win32/winsock_use.h"

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

    // Listens on `address`:`port`: 0, or the system's error.
    int ListenOn(const std::string& address, int port);
    static std::string ErrorText(int error);
    // The error of a system without the address's family (no IPv6).
    static bool NoAddressFamily(int error);
    bool Listening() const { return !listeners_.empty(); }
    // The port listened on (the one the system picked, for port 0).
    int Port() const;

    int OpenCount() const { return connections_.Clients().OpenCount(); }
    int LoginCount() const { return connections_.Clients().LoginCount(); }

private:
    using Id = NutClients::Id;

    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    void Accept(SOCKET listener);
    void SocketEvent(UINT message, SOCKET socket, WORD event, WORD error);
    // The timer for the connections' next timeout (a failed-login delay's end, the idle check).
    void ArmTimer();

    NutFeed& feed_;
    // Started before any socket of the server, cleaned up after the last one closed.
    WinsockUse winsock_;
    // The open connections by socket, for the notices; each socket takes itself out as it closes.
    // Declared before the connections, which close their sockets when they go.
    std::map<SOCKET, Id> ids_;
    NutConnections connections_;
    HWND window_ = nullptr;
    std::vector<SOCKET> listeners_;
};

}  // namespace zelto
