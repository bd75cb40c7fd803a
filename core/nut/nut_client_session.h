#pragma once
// One conversation with a NUT server as a secondary holds it, over any transport: the login
// (USERNAME, PASSWORD, LOGIN, each answer checked), LIST VAR once to learn what the UPS offers,
// then a GET VAR of each reading this program shows, once a poll. Answers come back in the order
// of the requests, so each line received is matched to the oldest request still open. It holds
// a bounded amount whatever the server sends, and says when a request has waited too long.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace zelto {

// The variables polled, where the server has them: the status and the window's readings.
inline constexpr std::string_view kNutFollowedVariables[] = {
    "ups.status",     "input.voltage",     "input.voltage.fault", "output.voltage",
    "ups.load",       "input.frequency",   "battery.voltage",     "ups.temperature",
    "battery.charge", "ups.beeper.status",
};
// A request unanswered this long ends the connection.
inline constexpr std::int64_t kNutRequestTimeoutSeconds = 5;
// At most this many variables are kept from LIST VAR, however many the server lists.
inline constexpr std::size_t kNutMostListedVariables = 512;

class NutClientSession {
public:
    enum class Login { None, Waiting, Accepted, Refused };

    // Without a user the session only reads (GET and LIST need no login).
    NutClientSession(std::string ups, std::string user, std::string password);

    // The connection is up: the lines to send first.
    std::string Start(std::int64_t now);
    // One line from the server, without its line end.
    void Received(std::string_view line);
    // The requests of one poll, once the variables are known and the last poll is answered;
    // empty otherwise.
    std::string Poll(std::int64_t now);
    // The server said something no request asked for, or answered out of turn: a server that
    // does that is not followed, the connection is made again.
    bool Garbled() const { return garbled_; }
    // Requests sent and not answered yet.
    bool AwaitingAnswers() const { return !open_.empty(); }
    // The oldest open request has waited kNutRequestTimeoutSeconds or more.
    bool TimedOut(std::int64_t now) const;
    // The polite end, before this computer sleeps or the program exits.
    static std::string Logout() { return "LOGOUT\n"; }

    Login LoginState() const { return login_; }
    // The server's words for a refused login ("ERR ACCESS-DENIED").
    const std::string& Refusal() const { return refusal_; }
    // The variables the UPS offers, as LIST VAR gave them; known once the list has ended.
    bool VariablesKnown() const { return listed_; }
    // The latest value of each polled variable the server has.
    const std::map<std::string, std::string, std::less<>>& Values() const { return values_; }
    // Answers to the last poll so far: all of them in once this equals the requests sent.
    int PollAnswers() const { return pollAnswers_; }

private:
    enum class Request { Username, Password, Login, List, Get };
    struct Open {
        Request request;
        std::string_view variable;  // for Get: a name of kNutFollowedVariables
        std::int64_t sentAt;
    };
    std::string Send(Request request, std::string line, std::int64_t now);
    void ListLine(std::string_view line);

    std::string ups_;
    std::string user_;
    std::string password_;
    std::deque<Open> open_;
    Login login_ = Login::None;
    std::string refusal_;
    bool listing_ = false;  // between BEGIN LIST VAR and END LIST VAR
    bool listed_ = false;
    std::size_t listedCount_ = 0;
    std::map<std::string, std::string, std::less<>> values_;
    // What a poll sends and asks for, made once the list is known: the same every second.
    std::string pollText_;
    std::vector<std::string_view> polled_;
    int pollAnswers_ = 0;
    bool garbled_ = false;
};

}  // namespace zelto
