#include "core/nut/nut_connections.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace zelto {
namespace {

// How often connections are looked at for the idle timeout.
constexpr std::chrono::seconds kIdleCheck(1);

}  // namespace

NutConnections::NutConnections(NutSettings settings, std::string version,
                               const NutSnapshot& snapshot, Notice notice)
    : clients_(std::move(settings), std::move(version), snapshot), notice_(std::move(notice)) {}

NutConnections::~NutConnections() {
    for (auto& [id, connection] : connections_) {
        connection.socket->Close(false);
    }
}

std::optional<NutConnections::Id> NutConnections::Accept(std::unique_ptr<NutSocket> socket,
                                                         const std::string& address,
                                                         Clock::time_point now) {
    auto id = clients_.Open(address, now);
    // Some systems (Wine) do not always report a peer's end, and such a connection would count
    // against the limits until it idles out: before one is turned away, those are looked at.
    if (!id && SweepEnded()) {
        id = clients_.Open(address, now);
    }
    if (!id) {
        socket->Close(false);
        return std::nullopt;
    }
    connections_[*id].socket = std::move(socket);
    Watch(*id);
    return id;
}

void NutConnections::Readable(Id id, Clock::time_point now) {
    ReadOnce(id, now);
}

void NutConnections::Writable(Id id) {
    Send(id);
}

void NutConnections::PeerClosed(Id id, Clock::time_point now) {
    while (ReadOnce(id, now)) {
    }
    PeerDone(id);
}

void NutConnections::Failed(Id id) {
    Close(id, false);
}

void NutConnections::Timeout(Clock::time_point now) {
    std::vector<Id> due;
    for (const auto& [id, connection] : connections_) {
        if (connection.resumeAt && *connection.resumeAt <= now) {
            due.push_back(id);
        }
    }
    for (const Id id : due) {
        Resume(id, now);
    }
    if (now >= nextIdleCheck_) {
        nextIdleCheck_ = now + kIdleCheck;
        for (const Id id : clients_.Idle(now)) {
            Close(id, false);
        }
    }
}

NutConnections::Clock::time_point NutConnections::NextTimeout() const {
    Clock::time_point next = nextIdleCheck_;
    for (const auto& [id, connection] : connections_) {
        if (connection.resumeAt) {
            next = std::min(next, *connection.resumeAt);
        }
    }
    return next;
}

bool NutConnections::ReadOnce(Id id, Clock::time_point now) {
    const Connection* connection = Find(id);
    if (connection == nullptr) {
        return false;
    }
    if (clients_.Held(id) || connection->closeWhenSent) {
        Watch(id);
        return false;
    }
    std::string bytes;
    switch (connection->socket->Receive(bytes, kNutReadChunk)) {
        case NutReceive::Data:
            return Deliver(id, clients_.Receive(id, bytes, now), now);
        case NutReceive::Ended:
            PeerDone(id);
            return false;
        case NutReceive::Failed:
            Close(id, false);
            return false;
        case NutReceive::Nothing:
            break;
    }
    return false;
}

void NutConnections::PeerDone(Id id) {
    Connection* connection = Find(id);
    if (connection == nullptr) {
        return;
    }
    connection->closeWhenSent = true;
    // A held reply follows when the delay is over, and the connection closes then.
    if (clients_.Held(id)) {
        Watch(id);
        return;
    }
    Send(id);
}

bool NutConnections::Deliver(Id id, const NutOutput& output, Clock::time_point now) {
    if (notice_) {
        for (const std::string& notice : output.notices) {
            notice_(notice);
        }
    }
    Connection* connection = Find(id);
    if (connection == nullptr) {
        return false;
    }
    if (!QueueNutOutput(clients_.Limits(), output, connection->unsent, connection->closeWhenSent)) {
        Close(id, false);
        return false;
    }
    Send(id);
    connection = Find(id);
    if (connection == nullptr || connection->closeWhenSent) {
        return false;
    }
    if (output.hold) {
        connection->resumeAt =
            now + std::chrono::milliseconds(clients_.Limits().failedLoginDelayMs);
        Watch(id);
        return false;
    }
    return true;
}

void NutConnections::Send(Id id) {
    Connection* connection = Find(id);
    if (connection == nullptr) {
        return;
    }
    while (!connection->unsent.empty()) {
        const auto sent = connection->socket->Send(connection->unsent);
        if (!sent) {
            Close(id, false);
            return;
        }
        if (*sent == 0) {
            // The rest goes when the socket is writable again.
            break;
        }
        connection->unsent.erase(0, *sent);
    }
    if (connection->unsent.empty() && connection->closeWhenSent && !clients_.Held(id)) {
        Close(id, true);
        return;
    }
    Watch(id);
}

void NutConnections::Resume(Id id, Clock::time_point now) {
    Connection* connection = Find(id);
    if (connection == nullptr) {
        return;
    }
    connection->resumeAt.reset();
    // The peer may have ended during the delay: what it sent behind the held line is still read
    // and answered before the connection closes.
    const bool peerDone = connection->closeWhenSent;
    connection->closeWhenSent = false;
    if (!Deliver(id, clients_.Resume(id, now), now)) {
        // Held again by a later failed login: the peer's end still stands for the next resume.
        if (Connection* still = Find(id); still != nullptr && peerDone) {
            still->closeWhenSent = true;
            Watch(id);
        }
        return;
    }
    // What arrived meanwhile waits in the socket, and an edge-triggered transport reports
    // nothing more of it until it is read.
    while (ReadOnce(id, now)) {
    }
    if (peerDone) {
        PeerDone(id);
    }
}

bool NutConnections::SweepEnded() {
    std::vector<Id> ended;
    for (const auto& [id, connection] : connections_) {
        if (connection.socket->PeerClosed()) {
            ended.push_back(id);
        }
    }
    for (const Id id : ended) {
        PeerDone(id);
    }
    return !ended.empty();
}

void NutConnections::Watch(Id id) {
    Connection* connection = Find(id);
    if (connection != nullptr) {
        connection->socket->Watch(!clients_.Held(id) && !connection->closeWhenSent,
                                  !connection->unsent.empty());
    }
}

void NutConnections::Close(Id id, bool orderly) {
    clients_.Close(id);
    const auto found = connections_.find(id);
    if (found == connections_.end()) {
        return;
    }
    // Out of the table first: the socket's close may report nothing more, but a transport
    // that does must find the connection gone.
    std::unique_ptr<NutSocket> socket = std::move(found->second.socket);
    connections_.erase(found);
    socket->Close(orderly);
}

NutConnections::Connection* NutConnections::Find(Id id) {
    const auto found = connections_.find(id);
    return found == connections_.end() ? nullptr : &found->second;
}

}  // namespace zelto
