#pragma once
// The NUT server's transport in the Qt front end: a listening socket per address and every
// connection non-blocking in the GUI thread, reported by the event loop's socket notifiers, each
// request answered by the core's NutClients. No call here waits on the network, so a client can
// never hold up a tick or the countdown. Plain sockets rather than Qt Network: the program would
// carry that library and the Kerberos libraries it pulls in all its life, for a server that is
// mostly off.

#include <QObject>
#include <QTimer>
#include <QtGlobal>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/base/error_reporter.h"
#include "core/base/settings.h"
#include "core/nut/nut_clients.h"
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

    // Listens on every address of the settings. The failures, as "endpoint (reason)"; a system
    // without IPv6 is no failure for ::1.
    std::vector<std::string> Listen();
    bool Listening() const { return !listeners_.empty(); }
    // The port listened on (the one the system picked, for port 0).
    quint16 Port() const;

    int OpenCount() const { return clients_.OpenCount(); }
    int LoginCount() const { return clients_.LoginCount(); }

private:
    using Id = NutClients::Id;

    struct Connection {
        std::unique_ptr<SocketWatch> socket;
        // Answers the system did not take yet; sent when the socket is writable.
        std::string unsent;
        // Close once the unsent answers are out.
        bool closeWhenSent = false;
    };

    void Accept(int listener);
    // Takes one chunk from the connection and answers it.
    void Read(Id id);
    // The peer will send no more: what it sent is answered, then the connection closes.
    void PeerDone(Id id);
    // Queues what the core answered and acts on it; false when the connection is closing or
    // gone.
    bool Deliver(Id id, const NutOutput& output);
    // Hands the system what it takes of the unsent answers; closes when they are out and the
    // connection is to close.
    void Send(Id id);
    void Resume(Id id);
    // Reads while the core takes requests, and waits to write while answers are unsent.
    void Watch(Id id);
    // Closes the connection at once: nothing more is read or queued for it.
    void Drop(Id id);
    // Closes the connection once its answers are out.
    void Finish(Id id);
    void DropIdle();
    Connection* Find(Id id);

    NutFeed& feed_;
    NutClients clients_;
    std::vector<std::unique_ptr<SocketWatch>> listeners_;
    std::map<Id, Connection> connections_;
    QTimer idleTimer_;
    RetiredWatches retired_;
};

}  // namespace zelto
