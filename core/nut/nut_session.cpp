#include "core/nut/nut_session.h"

#include <array>
#include <iterator>
#include <utility>

#include "core/nut/nut_queries.h"
#include "core/nut/nut_text.h"
#include "core/nut/nut_words.h"

namespace zelto {
namespace {

NutReply Reply(std::string text) {
    NutReply reply;
    reply.text = std::move(text);
    return reply;
}

NutReply Error(NutError error) {
    return Reply(NutErrorLine(error));
}

struct Request {
    NutSession& session;
    const NutServerView& view;
    const NutArgs& args;
};

NutReply Version(const Request& r) {
    return r.args.empty() ? Reply(NutVersionLine(r.view.version))
                          : Error(NutError::InvalidArgument);
}

NutReply ProtocolVersion(const Request& r) {
    return r.args.empty() ? Reply(std::string(kNutProtocolVersion) + "\n")
                          : Error(NutError::InvalidArgument);
}

NutReply Help(const Request& r) {
    return r.args.empty() ? Reply(NutHelpLine()) : Error(NutError::InvalidArgument);
}

// Debian's clients try TLS first and carry on in cleartext after any ERR; silence would make
// them wait and give up.
NutReply StartTls(const Request&) {
    return Error(NutError::FeatureNotConfigured);
}

NutReply Get(const Request& r) {
    return Reply(NutAnswerGet(r.view, r.args));
}

NutReply List(const Request& r) {
    return Reply(NutAnswerList(r.view, r.args));
}

// USERNAME and PASSWORD are taken without checking, as upsd does: clients send them up front and
// read any ERR as a failed login. LOGIN checks them.
NutReply Username(const Request& r) {
    if (r.args.size() != 1) {
        return Error(NutError::InvalidArgument);
    }
    if (r.session.username) {
        return Error(NutError::AlreadySetUsername);
    }
    r.session.username = r.args[0];
    return Reply("OK\n");
}

NutReply Password(const Request& r) {
    if (r.args.size() != 1) {
        return Error(NutError::InvalidArgument);
    }
    if (r.session.password) {
        return Error(NutError::AlreadySetPassword);
    }
    r.session.password = r.args[0];
    return Reply("OK\n");
}

NutReply Login(const Request& r) {
    if (r.args.size() != 1) {
        return Error(NutError::InvalidArgument);
    }
    if (r.session.loggedIn) {
        return Error(NutError::AlreadyLoggedIn);
    }
    if (const auto error = NutCheckUps(r.view, r.args[0], false)) {
        return Error(*error);
    }
    if (!NutCredentialsMatch(r.view.users, *r.session.username, *r.session.password)) {
        ++r.session.failedLogins;
        NutReply reply = Error(NutError::AccessDenied);
        reply.loginFailed = true;
        reply.close = r.session.failedLogins >= kNutMaxFailedLogins;
        return reply;
    }
    r.session.loggedIn = true;
    NutReply reply = Reply("OK\n");
    reply.loggedIn = true;
    return reply;
}

// LOGOUT closes the connection; the login it may hold ends with it.
NutReply Logout(const Request& r) {
    if (!r.args.empty()) {
        return Error(NutError::InvalidArgument);
    }
    NutReply reply = Reply("OK Goodbye\n");
    reply.close = true;
    return reply;
}

// PRIMARY, MASTER and FSD: no account here holds the rights they need.
NutReply Managerial(const Request& r) {
    if (r.args.size() != 1) {
        return Error(NutError::InvalidArgument);
    }
    if (const auto error = NutCheckUps(r.view, r.args[0], false)) {
        return Error(*error);
    }
    return Error(NutError::AccessDenied);
}

NutReply Set(const Request& r) {
    if (r.args.size() < 2) {
        return Error(NutError::InvalidArgument);
    }
    if (NutEqualNoCase(r.args[0], "TRACKING")) {
        const bool onOrOff = NutEqualNoCase(r.args[1], "ON") || NutEqualNoCase(r.args[1], "OFF");
        return Error(onOrOff ? NutError::FeatureNotSupported : NutError::InvalidArgument);
    }
    if (!NutEqualNoCase(r.args[0], "VAR") || r.args.size() < 4) {
        return Error(NutError::InvalidArgument);
    }
    if (const auto error = NutCheckUps(r.view, r.args[1], true)) {
        return Error(*error);
    }
    return Error(NutError::AccessDenied);
}

NutReply InstantCommand(const Request& r) {
    if (r.args.size() < 2) {
        return Error(NutError::InvalidArgument);
    }
    if (const auto error = NutCheckUps(r.view, r.args[0], true)) {
        return Error(*error);
    }
    return Error(NutError::CmdNotSupported);
}

struct Command {
    std::string_view name;
    NutReply (*handler)(const Request&);
    // Needs USERNAME and PASSWORD first; checked before anything else, as upsd does.
    bool needsUser;
};

constexpr std::array<Command, 16> kCommands = {{
    {"VER", Version, false},
    {"NETVER", ProtocolVersion, false},
    {"PROTVER", ProtocolVersion, false},
    {"HELP", Help, false},
    {"STARTTLS", StartTls, false},
    {"GET", Get, false},
    {"LIST", List, false},
    {"USERNAME", Username, false},
    {"PASSWORD", Password, false},
    {"LOGIN", Login, true},
    {"LOGOUT", Logout, false},
    {"PRIMARY", Managerial, true},
    {"MASTER", Managerial, true},
    {"FSD", Managerial, true},
    {"SET", Set, true},
    {"INSTCMD", InstantCommand, true},
}};

}  // namespace

NutReply NutAnswer(NutSession& session, const NutServerView& view, std::string_view line) {
    NutWords words = SplitNutWords(line);
    if (words.malformed) {
        return Error(NutError::InvalidArgument);
    }
    if (words.words.empty()) {
        return Error(NutError::UnknownCommand);
    }
    const NutArgs args(std::make_move_iterator(words.words.begin() + 1),
                       std::make_move_iterator(words.words.end()));
    for (const Command& command : kCommands) {
        if (!NutEqualNoCase(words.words[0], command.name)) {
            continue;
        }
        if (command.needsUser && !session.username) {
            return Error(NutError::UsernameRequired);
        }
        if (command.needsUser && !session.password) {
            return Error(NutError::PasswordRequired);
        }
        return command.handler(Request{session, view, args});
    }
    return Error(NutError::UnknownCommand);
}

NutReply NutAnswer(NutSession& session, const NutServerView& view, const NutLine& line) {
    if (line.tooLong) {
        return Error(NutError::InvalidArgument);
    }
    return NutAnswer(session, view, line.text);
}

}  // namespace zelto
