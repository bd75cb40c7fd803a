#pragma once
// The NUT server's transport in the Qt front end: a QTcpServer per listen address and every
// connection non-blocking in the GUI thread, each request answered by the core's NutClients. No
// call here waits on the network, so a client can never hold up a tick or the countdown.

#include <QObject>
#include <QTimer>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/base/error_reporter.h"
#include "core/base/settings.h"
#include "core/monitor/secondaries.h"
#include "core/nut/nut_clients.h"
#include "core/program/nut_feed.h"

class QTcpServer;
class QTcpSocket;

namespace zelto {

class NutServer final : public QObject, public SecondaryWait {
    Q_OBJECT

public:
    // Serves what `feed` publishes and becomes its wait for the secondaries, until destroyed.
    NutServer(NutSettings settings, NutFeed& feed, QObject* parent = nullptr);
    ~NutServer() override;
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
    quint16 Port() const;

    int OpenCount() const { return clients_.OpenCount(); }
    int LoginCount() const { return clients_.LoginCount(); }

    // Blocks in a nested event loop until no connection is logged in any more or the settings'
    // wait (NutFsdWait) has passed; at once when nobody is logged in.
    void Wait() override;

private:
    using Id = NutClients::Id;

    void Accept(QTcpServer* listener);
    void Read(Id id);
    // Sends what the core answered and acts on it; false when the connection is closing or gone.
    bool Deliver(Id id, const NutOutput& output);
    void Resume(Id id);
    // Closes the connection at once.
    void Drop(Id id);
    // The connection ended by itself.
    void Forget(Id id);
    void DropIdle();
    QTcpSocket* Socket(Id id) const;

    NutFeed& feed_;
    NutClients clients_;
    std::vector<std::unique_ptr<QTcpServer>> listeners_;
    std::map<Id, QTcpSocket*> sockets_;
    QTimer idleTimer_;
};

}  // namespace zelto
