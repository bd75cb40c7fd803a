#pragma once
// One copy of the program per user: two would fight over the port and could both shut the
// computer down. The first start holds a lock file and listens on a local socket beside it, in
// the user's runtime folder; a later start finds the lock held, asks the first through the
// socket to show its window, and ends without touching port or settings. A lock left by a
// copy that died is taken over.

#include <QLockFile>
#include <QObject>
#include <QString>

#include <map>
#include <memory>
#include <string>

#include "qt/socket_watch.h"

namespace zelto {

class SingleInstance : public QObject {
    Q_OBJECT

public:
    enum class Role {
        First,    // this copy holds the lock and listens: it runs
        Second,   // another copy runs and was asked to show its window
        Unasked,  // another copy holds the lock but could not be reached
    };

    // `folder` holds the lock and the socket; it must exist.
    explicit SingleInstance(const QString& folder = DefaultFolder());
    ~SingleInstance() override;
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Takes the lock, or asks the copy that holds it. A folder where no lock can be made at all
    // counts as First, so that the program still runs (told on stderr).
    Role Claim();

    // The user's runtime folder (XDG_RUNTIME_DIR), else a folder of the user's own in the
    // temporary folder.
    static QString DefaultFolder();
    QString LockPath() const;
    QString SocketPath() const;

signals:
    // A later start asked this one to show its window.
    void showRequested();

private:
    // What a later start has sent so far.
    struct Caller {
        std::unique_ptr<SocketWatch> socket;
        std::string received;
    };

    bool Listen();
    bool AskFirst() const;
    void Accept();
    void Read(int fd);
    void Hang(int fd);

    QString folder_;
    QLockFile lock_;
    // The socket file this copy made, removed when it ends.
    QString listeningOn_;
    std::unique_ptr<SocketWatch> listener_;
    std::map<int, Caller> callers_;
    RetiredWatches retired_;
};

}  // namespace zelto
