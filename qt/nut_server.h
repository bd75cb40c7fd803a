#pragma once
// The NUT server's transport in the Qt front end: a listening socket per address and every
// connection non-blocking in the GUI thread, reported by the event loop's socket notifiers and
// handed to the core's NutConnections, which reads, answers and closes it. No call here waits on
// the network, so a client can never hold up a tick or the countdown. Plain sockets rather than Qt
// Network: the program would carry that library and the Kerberos libraries it pulls in all its
// life, for a server that is mostly off.

#include <QObject>
#include <QTimer>
#include <QtGlobal>

#include <memory>
#include <string>
#include <vector>

#include "core/base/error_reporter.h"
#include "core/base/settings.h"
#include "core/nut/nut_connections.h"
#include "core/program/nut_feed.h"
#include "qt/socket_watch.h"

namespace zelto {

class NutServer final : public QObject {
    Q_OBJECT

public:
    // Serves what `feed` publishes and lends it the logins its wait counts, until destroyed.
    NutServer(NutSettings settings, NutFeed& feed, QObject* parent = nullptr);
    ~NutServer() override;
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
    quint16 Port() const;

    int OpenCount() const { return connections_.Clients().OpenCount(); }
    int LoginCount() const { return connections_.Clients().LoginCount(); }

private:
    void Accept(int listener);
    // The timer for the connections' next timeout (a failed-login delay's end, the idle check).
    void ArmTimer();

    NutFeed& feed_;
    // Declared before the connections: their sockets are retired into it when they go.
    RetiredWatches retired_;
    NutConnections connections_;
    std::vector<std::unique_ptr<SocketWatch>> listeners_;
    QTimer timer_;
};

}  // namespace zelto
