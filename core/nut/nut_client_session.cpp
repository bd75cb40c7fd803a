#include "core/nut/nut_client_session.h"

#include <utility>
#include <vector>

#include "core/nut/nut_text.h"
#include "core/nut/nut_words.h"

namespace zelto {

NutClientSession::NutClientSession(std::string ups, std::string user, std::string password)
    : ups_(std::move(ups)), user_(std::move(user)), password_(std::move(password)) {}

std::string NutClientSession::Send(Request request, std::string line, std::int64_t now) {
    open_.push_back(Open{request, {}, now});
    return line + "\n";
}

std::string NutClientSession::Start(std::int64_t now) {
    // A new connection starts from nothing: no open requests, no login, nothing listed.
    *this = NutClientSession(ups_, user_, password_);
    std::string lines;
    if (!user_.empty()) {
        login_ = Login::Waiting;
        lines += Send(Request::Username, "USERNAME " + NutQuoted(user_), now);
        lines += Send(Request::Password, "PASSWORD " + NutQuoted(password_), now);
        lines += Send(Request::Login, "LOGIN " + ups_, now);
    }
    lines += Send(Request::List, "LIST VAR " + ups_, now);
    return lines;
}

void NutClientSession::Received(std::string_view line) {
    if (open_.empty()) {
        garbled_ = true;  // nothing was asked
        return;
    }
    Open& oldest = open_.front();
    const bool error = line.substr(0, 4) == "ERR ";
    switch (oldest.request) {
        case Request::Username:
        case Request::Password:
        case Request::Login:
            if (!error && line.substr(0, 2) != "OK") {
                garbled_ = true;
            } else if (error && login_ == Login::Waiting) {
                login_ = Login::Refused;
                refusal_ = NutSafeValue(line);
            } else if (oldest.request == Request::Login && login_ == Login::Waiting) {
                login_ = line == "OK" ? Login::Accepted : Login::Refused;
                if (login_ == Login::Refused) {
                    refusal_ = NutSafeValue(line);
                }
            }
            break;
        case Request::List:
            if (error && !listing_) {
                listed_ = true;  // the UPS lists nothing: each variable is asked all the same
                for (std::string_view name : kNutFollowedVariables) {
                    values_.emplace(std::string(name), std::string());
                }
                break;
            }
            ListLine(line);
            if (listing_ || !listed_) {
                return;  // the list goes on: the request stays open
            }
            break;
        case Request::Get: {
            ++pollAnswers_;
            const NutWords words = SplitNutWords(line);
            const auto known = values_.find(oldest.variable);
            const bool answer = !words.malformed && words.words.size() == 4 &&
                                words.words[0] == "VAR" && words.words[1] == ups_ &&
                                words.words[2] == oldest.variable;
            if (known != values_.end()) {
                // ERR DATA-STALE and the like: no value now.
                known->second = answer ? NutSafeValue(words.words[3]) : std::string();
            }
            garbled_ = garbled_ || (!answer && !error);
            break;
        }
    }
    open_.pop_front();
}

void NutClientSession::ListLine(std::string_view line) {
    const NutWords split = SplitNutWords(line);
    const std::vector<std::string>& words = split.words;
    if (!listing_) {
        listing_ = words.size() == 4 && words[0] == "BEGIN" && words[1] == "LIST" &&
                   words[2] == "VAR" && words[3] == ups_;
        garbled_ = !listing_;
        return;
    }
    if (words.size() == 4 && words[0] == "END" && words[1] == "LIST" && words[2] == "VAR") {
        listing_ = false;
        listed_ = true;
        return;
    }
    if (split.malformed || words.size() != 4 || words[0] != "VAR" || words[1] != ups_) {
        garbled_ = true;
        return;
    }
    if (++listedCount_ > kNutMostListedVariables) {
        return;
    }
    for (std::string_view name : kNutFollowedVariables) {
        if (words[2] == name) {
            values_[words[2]] = NutSafeValue(words[3]);
        }
    }
}

std::string NutClientSession::Poll(std::int64_t now) {
    if (!listed_ || !open_.empty()) {
        return {};
    }
    pollAnswers_ = 0;
    if (polled_.empty()) {
        for (std::string_view name : kNutFollowedVariables) {
            if (values_.count(name) != 0) {
                polled_.push_back(name);
                pollText_.append("GET VAR ").append(ups_).append(" ").append(name).append("\n");
            }
        }
    }
    for (std::string_view name : polled_) {
        open_.push_back(Open{Request::Get, name, now});
    }
    return pollText_;
}

bool NutClientSession::TimedOut(std::int64_t now) const {
    return !open_.empty() && now - open_.front().sentAt >= kNutRequestTimeoutSeconds;
}

}  // namespace zelto
