#include "core/nut/nut_follower.h"

#include <string_view>
#include <utility>

namespace zelto {

NutFollower::NutFollower(NutClientSocket& socket, NutUpsAddress address, std::string user,
                         std::string password)
    : socket_(socket),
      address_(std::move(address)),
      session_(address_.ups, std::move(user), std::move(password)) {}

void NutFollower::Disconnect() {
    socket_.Close();
    connected_ = false;
    attempting_ = false;
    answeredAt_.reset();
    // A line left half read belongs to the connection that is gone.
    lines_ = NutLineBuffer();
}

void NutFollower::Drop(std::int64_t now) {
    Disconnect();
    nextConnect_ = now + NutReconnectDelay(++attempt_);
}

void NutFollower::ReadAnswers(std::int64_t now) {
    // A few looks between ticks catch a poll's answers as they come in; a server that sends
    // without being asked, or floods, is still read only a tick at a time.
    if (!connected_ || !session_.AwaitingAnswers() || readsSinceTick_ >= kNutReadsBetweenTicks) {
        return;
    }
    ++readsSinceTick_;
    if (socket_.Current() == NutClientSocket::State::Connected) {
        Read(now);
        if (session_.Garbled()) {
            Drop(now);
        }
    }
}

void NutFollower::Read(std::int64_t now) {
    for (const NutLine& line : lines_.Feed(socket_.Receive(kNutReadPerTick))) {
        if (!line.tooLong) {
            std::string_view text = line.text;
            if (!text.empty() && text.back() == '\r') {
                text.remove_suffix(1);
            }
            session_.Received(text);
        }
    }
    if (session_.LoginState() == NutClientSession::Login::Refused &&
        session_.Refusal() != lastRefusal_) {
        lastRefusal_ = session_.Refusal();
        newRefusal_ = lastRefusal_;
    }
    const auto status = session_.Values().find("ups.status");
    if (status != session_.Values().end() && !status->second.empty() &&
        session_.PollAnswers() > 0) {
        critical_.Answered(now, status->second);
        answeredAt_ = now;
    }
}

void NutFollower::Tick(std::int64_t now) {
    if (lastTick_ && now - *lastTick_ >= kNutSleepGapSeconds) {
        // Readings from before the sleep say nothing of now.
        critical_.Forget();
        Disconnect();
        attempt_ = 0;
        nextConnect_ = now;
        stayAway_.reset();
    }
    lastTick_ = now;
    readsSinceTick_ = 0;

    NutClientSocket::State state = socket_.Current();
    if (state == NutClientSocket::State::Closed) {
        if (connected_ || attempting_) {
            // The server ended the connection, or a distant host refused it after a while: a
            // refusal the system reports late waits out the delays as a prompt one does.
            Drop(now);
            return;
        }
        if (now < nextConnect_ || (stayAway_ && now < *stayAway_)) {
            return;
        }
        socket_.Connect(address_.host, address_.port);
        attempting_ = true;
        connectedAt_ = now;
        state = socket_.Current();
        if (state == NutClientSocket::State::Closed) {
            Drop(now);
            return;
        }
    }
    if (state == NutClientSocket::State::Connecting) {
        // An address that never answers would hold a connection attempt for minutes.
        if (now - connectedAt_ >= kNutRequestTimeoutSeconds) {
            Drop(now);
        }
        return;
    }
    if (!connected_) {
        connected_ = true;
        attempting_ = false;
        socket_.Send(session_.Start(now));
    }
    Read(now);
    if (session_.TimedOut(now) || session_.Garbled()) {
        Drop(now);
        return;
    }
    if (session_.VariablesKnown()) {
        attempt_ = 0;  // a working conversation: the next loss starts the delays again
    }
    socket_.Send(session_.Poll(now));
}

void NutFollower::Logout() {
    if (connected_) {
        socket_.Send(NutClientSession::Logout());
    }
    // An attempt under way goes too: it would log in again behind the logout's back.
    Disconnect();
}

void NutFollower::StayAwayUntil(std::int64_t when) {
    stayAway_ = when;
}

bool NutFollower::Answering(std::int64_t now) const {
    // A status the server no longer has (ERR DATA-STALE) says nothing of the power.
    const auto status = session_.Values().find("ups.status");
    return connected_ && answeredAt_ && now - *answeredAt_ <= 1 &&
           status != session_.Values().end() && !status->second.empty();
}

std::optional<std::string> NutFollower::TakeNewRefusal() {
    return std::exchange(newRefusal_, std::nullopt);
}

}  // namespace zelto
