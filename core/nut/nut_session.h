#pragma once
// One client connection of the NUT server: what it has said so far, and the answer to each
// request line. The transport owns the socket; this decides every byte it sends back.
//
// The transport's part, per connection: feed received bytes to a NutLineBuffer, pass each line
// to NutAnswer with a fresh NutServerView, queue the reply text (after a failed-login delay when
// loginFailed is set), close after sending when close is set. A connection whose session has
// loggedIn counts towards the logins until it closes, however it closes.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/nut/nut_line_buffer.h"
#include "core/nut/nut_snapshot.h"
#include "core/nut/nut_users.h"

namespace zelto {

// Failed LOGINs a connection may make; the last one's reply closes it.
inline constexpr int kNutMaxFailedLogins = 3;

// The server as one request sees it. Everything it refers to must outlive the NutAnswer call.
struct NutServerView {
    std::string_view upsName;         // the one UPS served, a valid NUT name
    std::string_view upsDescription;  // LIST UPS and GET UPSDESC; empty for none
    std::string_view version;         // the program's version, for VER and server.version
    const std::vector<NutUser>& users;
    const NutSnapshot& snapshot;
    int loginCount = 0;  // connections logged in now, across the server
    // The peer address of each logged-in connection, for LIST CLIENT; a transport that would
    // rather not tell may pass none.
    const std::vector<std::string>& loginAddresses;
};

struct NutSession {
    std::optional<std::string> username;
    std::optional<std::string> password;
    bool loggedIn = false;
    int failedLogins = 0;
};

struct NutReply {
    std::string text;  // one or more LF-terminated lines
    // This request logged the connection in: count it and log the user and peer address.
    bool loggedIn = false;
    // This request was a failed LOGIN: hold the reply back for the failed-login delay.
    bool loginFailed = false;
    // Send the text, then close the connection.
    bool close = false;
};

// The reply to one request line, updating the session.
NutReply NutAnswer(NutSession& session, const NutServerView& view, const NutLine& line);
NutReply NutAnswer(NutSession& session, const NutServerView& view, std::string_view line);

}  // namespace zelto
