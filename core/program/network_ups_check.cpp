#include "core/program/network_ups_check.h"

#include <algorithm>

#include "core/base/joined.h"
#include "core/nut/nut_text.h"
#include "core/nut/nut_words.h"

namespace zelto {

void NetworkUpsCheck::Start(const NutUpsAddress& address, std::int64_t now) {
    address_ = address;
    stage_ = Stage::Connecting;
    startedAt_ = now;
    lines_ = NutLineBuffer();
    listing_ = false;
    names_.clear();
    socket_.Connect(address.host, address.port);
}

std::string NetworkUpsCheck::End(std::string verdict) {
    socket_.Close();
    stage_ = Stage::Idle;
    return verdict;
}

std::optional<std::string> NetworkUpsCheck::Advance(std::int64_t now) {
    if (stage_ == Stage::Idle) {
        return std::nullopt;
    }
    const std::string where = address_.host + ":" + std::to_string(address_.port);
    switch (socket_.Current()) {
        case NutClientSocket::State::Closed:
            return End(
                Text(language_,
                     stage_ == Stage::Connecting ? TextId::CheckCannotConnect : TextId::CheckClosed,
                     {where}));
        case NutClientSocket::State::Connecting:
            break;
        case NutClientSocket::State::Connected:
            if (stage_ == Stage::Connecting) {
                stage_ = Stage::Listing;
                socket_.Send("LIST UPS\n");
            }
            if (auto verdict = Read()) {
                return End(std::move(*verdict));
            }
            break;
    }
    if (now - startedAt_ >= kNetworkUpsCheckSeconds) {
        return End(Text(language_, TextId::CheckNoAnswer,
                        {where, std::to_string(kNetworkUpsCheckSeconds)}));
    }
    return std::nullopt;
}

std::optional<std::string> NetworkUpsCheck::Read() {
    for (const NutLine& line : lines_.Feed(socket_.Receive(kNutReadPerTick))) {
        if (line.tooLong) {
            continue;
        }
        const NutWords split = SplitNutWords(line.text);
        const auto& words = split.words;
        if (split.malformed || words.empty()) {
            continue;
        }
        if (words[0] == "ERR") {
            return Text(language_, TextId::CheckAnswered, {NutSafeValue(line.text)});
        }
        if (words.size() == 3 && words[0] == "BEGIN" && words[1] == "LIST" && words[2] == "UPS") {
            listing_ = true;
        } else if (words.size() == 3 && words[0] == "END" && words[1] == "LIST" &&
                   words[2] == "UPS") {
            return Found();
        } else if (listing_ && words.size() >= 2 && words[0] == "UPS" &&
                   names_.size() < kNetworkUpsCheckMostNames) {
            names_.push_back(NutSafeValue(words[1]));
        }
    }
    return std::nullopt;
}

std::string NetworkUpsCheck::Found() const {
    if (names_.empty()) {
        return std::string(Text(language_, TextId::CheckNoUps));
    }
    const std::string all = Joined(names_, ", ");
    if (std::find(names_.begin(), names_.end(), address_.ups) != names_.end()) {
        return Text(language_, TextId::CheckFound, {address_.ups, all});
    }
    return Text(language_, TextId::CheckNotFound, {address_.ups, all});
}

}  // namespace zelto
