// The client side of NUT on whatever a server sends: a follower over a scripted connection, fed
// the server's bytes in arbitrary chunks between ticks, reads, drops and reconnections; the same
// bytes, cut into lines, straight into a bare session; and the same chunks into a line buffer,
// checked against the whole stream cut at once. What a hostile server can grow must stay bounded
// and what goes back to it must stay well formed.
//
// Input: one byte of set-up (bit 0: log in with a user; bit 1: connections are refused; bit 2:
// connections stay being made), then pieces. A piece's first byte says what happens and how many
// bytes follow (0-63):
//   00LLLLLL  the L bytes arrive from the server
//   01LLLLLL  the L bytes arrive, then the transport says an answer came
//   10LLLLLL  a tick, the clock on by 1 s (L < 40), 0 s (L < 48) or L - 46 s
//   11LLLLLL  L % 8 picks an event, L / 8 its argument:
//             0 the server ends the connection     4 a connection being made is made
//             1 a flood: the next byte's low six   5 the polite end (LOGOUT)
//               bits say how many bytes after it   6 LOGOUT, then stay away for L / 8 s, as
//               repeat past one tick's read          the program does after a power request
//             2 refusing connections, on or off    7 a connection being made fails
//             3 connections held, on or off

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/nut/nut_client_session.h"
#include "core/nut/nut_follow.h"
#include "core/nut/nut_follower.h"
#include "core/nut/nut_line_buffer.h"
#include "core/nut/nut_text.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

using zelto::NutClientSession;
using zelto::NutClientSocket;

constexpr std::string_view kUps = "ups";
constexpr std::string_view kUser = "monuser";
constexpr std::string_view kPassword = "s3cret";
// Floods are the slow pieces; a few per input are enough to cross the per-tick read.
constexpr int kMostFloods = 8;

using zelto::fuzz::Check;
using zelto::fuzz::Fail;
using zelto::fuzz::Input;

bool IsFollowed(std::string_view name) {
    const auto& names = zelto::kNutFollowedVariables;
    return std::find(std::begin(names), std::end(names), name) != std::end(names);
}

// What a session keeps is shown and sent on to the program's own clients as is.
void CheckValues(const NutClientSession& session) {
    Check(session.Values().size() <= std::size(zelto::kNutFollowedVariables),
          "more values kept than variables followed");
    for (const auto& [name, value] : session.Values()) {
        Check(IsFollowed(name), "a value kept for a variable not followed");
        Check(value.size() <= zelto::kNutMaxValueLength, "a value longer than a NUT value");
        Check(value == zelto::NutSafeValue(value), "a value with bytes a client cannot take");
    }
}

// Each line sent to the server is one this client has reason to send.
void CheckSent(std::string_view sent, bool withUser, std::size_t mostLines) {
    Check(sent.empty() || sent.back() == '\n', "an unfinished line sent");
    std::size_t lines = 0;
    while (!sent.empty()) {
        const auto lf = sent.find('\n');
        const std::string_view line = sent.substr(0, lf);
        sent.remove_prefix(lf + 1);
        ++lines;
        const std::string ups(kUps);
        if (line.substr(0, 12) == "GET VAR " + ups + " ") {
            Check(IsFollowed(line.substr(12)), "GET VAR of a variable not followed");
            continue;
        }
        const bool login = withUser && (line == "USERNAME \"" + std::string(kUser) + "\"" ||
                                        line == "PASSWORD \"" + std::string(kPassword) + "\"" ||
                                        line == "LOGIN " + ups);
        Check(login || line == "LIST VAR " + ups || line == "LOGOUT", "a line sent unasked for");
    }
    Check(lines <= mostLines, "too many lines sent at once");
}

// The server's side of one connection at a time, driven by the input.
class FuzzSocket final : public NutClientSocket {
public:
    State state = State::Closed;
    bool refuse = false;
    bool hold = false;
    bool ending = false;  // the server ended the connection after what is still to be read
    std::string incoming;
    std::string sent;  // since the last piece
    int connects = 0;  // since the last piece
    int receives = 0;  // since the last piece
    int closes = 0;    // since the last piece
    std::string lastReceived;

    void Connect(const std::string& host, int port) override {
        Check(state == State::Closed, "a new connection over one still open");
        Check(host == "127.0.0.1" && port == 3493, "a connection elsewhere");
        ++connects;
        incoming.clear();
        ending = false;
        state = refuse ? State::Closed : hold ? State::Connecting : State::Connected;
    }
    State Current() override { return state; }
    std::string Receive(std::size_t limit) override {
        ++receives;
        Check(limit <= zelto::kNutReadPerTick, "a read past one tick's bytes");
        lastReceived = state == State::Connected ? incoming.substr(0, limit) : std::string();
        incoming.erase(0, lastReceived.size());
        if (ending && incoming.empty()) {
            state = State::Closed;
        }
        return lastReceived;
    }
    void Send(std::string_view bytes) override { sent += bytes; }
    void Close() override {
        state = State::Closed;
        incoming.clear();
        ++closes;
    }
};

// The line buffer fed in chunks must cut the stream as one cut of the whole would.
void CheckLineBuffer(const std::vector<std::string>& chunks) {
    zelto::NutLineBuffer buffer;
    std::vector<zelto::NutLine> got;
    std::string stream;
    for (const std::string& chunk : chunks) {
        for (zelto::NutLine& line : buffer.Feed(chunk)) {
            got.push_back(std::move(line));
        }
        Check(buffer.Pending() <= zelto::kNutMaxLineLength, "line buffer holds past one line");
        stream += chunk;
    }
    std::size_t at = 0;
    std::string segment;
    for (const char c : stream) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\n') {
            Check(at < got.size(), "a line lost");
            const bool tooLong = segment.size() > zelto::kNutMaxLineLength;
            Check(got[at].tooLong == tooLong,
                  "an over-long line not marked, or a short one marked");
            Check(got[at].text == (tooLong ? std::string() : segment), "a line cut wrongly");
            ++at;
            segment.clear();
        } else if ((byte >= 0x20 && byte <= 0x7E) || c == '\t' || c == '\r') {
            segment += c;
        }
    }
    Check(at == got.size(), "a line made up");
    const std::size_t pending = segment.size() > zelto::kNutMaxLineLength ? 0 : segment.size();
    Check(buffer.Pending() == pending, "the unfinished line held wrongly");
}

// The server's lines, one by one, straight into a session that polls after each.
void CheckSession(const std::string& stream, bool withUser) {
    NutClientSession session(std::string(kUps), withUser ? std::string(kUser) : std::string(),
                             std::string(kPassword));
    std::int64_t now = 0;
    CheckSent(session.Start(now), withUser, 4);
    bool loginSettled = false;
    std::size_t lastGets = 0;
    for (const std::string_view line : zelto::fuzz::Lines(stream)) {
        session.Received(line);
        ++now;
        const auto login = session.LoginState();
        Check(withUser || login == NutClientSession::Login::None, "a login without a user");
        Check(!loginSettled || login != NutClientSession::Login::Waiting, "a login unsettled");
        loginSettled =
            login == NutClientSession::Login::Accepted || login == NutClientSession::Login::Refused;
        Check(session.Refusal() == zelto::NutSafeValue(session.Refusal()), "a refusal unsafe");
        CheckValues(session);
        const auto answers = static_cast<std::size_t>(std::max(0, session.PollAnswers()));
        Check(answers <= lastGets, "more poll answers than requests");
        const std::string poll = session.Poll(now);
        if (!poll.empty()) {
            Check(session.VariablesKnown(), "a poll before the list");
            Check(lastGets == 0 || answers == lastGets, "a poll over one unanswered");
            lastGets = static_cast<std::size_t>(std::count(poll.begin(), poll.end(), '\n'));
            Check(lastGets == session.Values().size(), "a poll not of the values kept");
            CheckSent(poll, withUser, std::size(zelto::kNutFollowedVariables));
        }
    }
}

class Harness {
public:
    Harness(const std::uint8_t* data, std::size_t size) : in_(data, size) {
        const std::uint8_t setUp = in_.Byte();
        withUser_ = setUp & 1;
        socket_.refuse = setUp & 2;
        socket_.hold = setUp & 4;
        follower_.emplace(socket_, zelto::NutUpsAddress{std::string(kUps), "127.0.0.1", 3493},
                          withUser_ ? std::string(kUser) : std::string(), std::string(kPassword));
    }

    void Run() {
        while (!in_.Empty()) {
            Piece();
        }
        CheckLineBuffer(chunks_);
        CheckSession(stream_, withUser_);
    }

private:
    void Arrive(std::string bytes) {
        // A server sends nothing before the connection is made or after it ended it.
        if (socket_.state != NutClientSocket::State::Connected || socket_.ending) {
            return;
        }
        socket_.incoming += bytes;
    }

    void Piece() {
        const std::uint8_t head = in_.Byte();
        const std::size_t length = head & 0x3F;
        switch (head >> 6) {
            case 0:
                Arrive(in_.Take(length));
                break;
            case 1:
                Arrive(in_.Take(length));
                follower_->ReadAnswers(now_);
                break;
            case 2:
                Tick(length < 40 ? 1 : length < 48 ? 0 : static_cast<std::int64_t>(length) - 46);
                break;
            default:
                Event(length % 8, length / 8);
                break;
        }
        After(head >> 6 == 2);
    }

    void Event(std::size_t which, std::size_t argument) {
        switch (which) {
            case 0:
                socket_.ending = true;
                if (socket_.incoming.empty()) {
                    socket_.state = NutClientSocket::State::Closed;
                }
                break;
            case 1: {
                std::string pattern = in_.Take(in_.Byte() & 0x3F);
                if (pattern.empty() || floods_ >= kMostFloods) {
                    break;
                }
                ++floods_;
                std::string flood;
                while (flood.size() <= zelto::kNutReadPerTick + 1000) {
                    flood += pattern;
                }
                Arrive(std::move(flood));
                break;
            }
            case 2:
                socket_.refuse = !socket_.refuse;
                break;
            case 3:
                socket_.hold = !socket_.hold;
                break;
            case 4:
                if (socket_.state == NutClientSocket::State::Connecting) {
                    socket_.state = NutClientSocket::State::Connected;
                }
                break;
            case 5:
            case 6:
                follower_->Logout();
                loggedOut_ = true;
                lastConnect_.reset();  // nothing but a stay-away holds it back from reconnecting
                if (which == 6) {
                    const std::int64_t until = now_ + static_cast<std::int64_t>(argument);
                    stayAwayUntil_ = until;
                    follower_->StayAwayUntil(until);
                }
                break;
            default:
                if (socket_.state == NutClientSocket::State::Connecting) {
                    socket_.state = NutClientSocket::State::Closed;
                }
                break;
        }
    }

    void Tick(std::int64_t seconds) {
        if (seconds >= zelto::kNutSleepGapSeconds) {
            stayAwayUntil_.reset();  // waking connects at once, by design
        }
        now_ += seconds;
        follower_->Tick(now_);
    }

    void After(bool tick) {
        Check(socket_.receives <= 1, "more than one read at a time");
        if (socket_.receives == 1 && !socket_.lastReceived.empty()) {
            chunks_.push_back(socket_.lastReceived);
            stream_ += socket_.lastReceived;
        }
        if (socket_.connects > 0) {
            Check(tick && socket_.connects == 1, "a connection made outside a tick, or two");
            Check(!lastConnect_ || *lastConnect_ < now_, "two connections in one second");
            Check(!stayAwayUntil_ || now_ >= *stayAwayUntil_, "a connection while staying away");
            lastConnect_ = now_;
        }
        // A tick's lines: LOGOUT of nothing, the login and LIST VAR, one poll.
        CheckSent(socket_.sent, withUser_, 1 + 4 + std::size(zelto::kNutFollowedVariables));
        // A connection dropped in this piece (an answer out of turn) may have been sent to first.
        if (!socket_.sent.empty() && !loggedOut_ && socket_.closes == 0) {
            Check(follower_->Connected(), "sent on a connection the follower does not hold");
        }
        CheckValues(follower_->Session());
        if (follower_->Answering(now_)) {
            Check(follower_->Connected(), "answering without a connection");
            const auto status = follower_->Session().Values().find("ups.status");
            Check(status != follower_->Session().Values().end() && !status->second.empty(),
                  "answering without a status");
        }
        if (const auto refusal = follower_->TakeNewRefusal()) {
            Check(!lastRefusal_ || *refusal != *lastRefusal_, "the same refusal told twice");
            Check(*refusal == zelto::NutSafeValue(*refusal), "a refusal with unsafe bytes");
            lastRefusal_ = refusal;
        }
        socket_.sent.clear();
        socket_.connects = socket_.receives = socket_.closes = 0;
        loggedOut_ = false;
    }

    Input in_;
    FuzzSocket socket_;
    std::optional<zelto::NutFollower> follower_;
    bool withUser_ = false;
    std::int64_t now_ = 1'000'000;
    bool loggedOut_ = false;
    int floods_ = 0;
    std::optional<std::int64_t> lastConnect_;
    std::optional<std::int64_t> stayAwayUntil_;
    std::optional<std::string> lastRefusal_;
    std::vector<std::string> chunks_;
    std::string stream_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Harness(data, size).Run();
    return 0;
}
