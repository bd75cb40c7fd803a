#include "core/nut/nut_follow.h"

#include <algorithm>
#include <cctype>

#include "core/nut/nut_words.h"

namespace zelto {
namespace {

bool IsUpsNameCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '-' || c == '.';
}

// "3493" within 1-65535, digits only.
std::optional<int> PortNumber(std::string_view text) {
    if (text.empty() || text.size() > 5 || !std::all_of(text.begin(), text.end(), [](char c) {
            return std::isdigit(static_cast<unsigned char>(c)) != 0;
        })) {
        return std::nullopt;
    }
    const int port = std::stoi(std::string(text));
    return port >= 1 && port <= 65535 ? std::optional<int>(port) : std::nullopt;
}

}  // namespace

bool NutStatusHas(std::string_view status, std::string_view word) {
    std::size_t start = 0;
    while (start < status.size()) {
        const std::size_t end = std::min(status.find(' ', start), status.size());
        if (status.substr(start, end - start) == word) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

std::optional<NutUpsAddress> ParseNutUpsAddress(std::string_view text) {
    const std::size_t at = text.find('@');
    if (at == std::string_view::npos || at == 0) {
        return std::nullopt;
    }
    NutUpsAddress address;
    address.ups = std::string(text.substr(0, at));
    if (!std::all_of(address.ups.begin(), address.ups.end(), IsUpsNameCharacter)) {
        return std::nullopt;
    }
    std::string_view rest = text.substr(at + 1);
    std::string_view host;
    if (!rest.empty() && rest.front() == '[') {
        const std::size_t close = rest.find(']');
        if (close == std::string_view::npos) {
            return std::nullopt;
        }
        host = rest.substr(1, close - 1);
        rest = rest.substr(close + 1);
        if (!rest.empty() && rest.front() != ':') {
            return std::nullopt;
        }
    } else {
        host = rest.substr(0, rest.find(':'));
        rest = rest.substr(host.size());
    }
    if (!rest.empty()) {
        const std::optional<int> port = PortNumber(rest.substr(1));
        if (!port) {
            return std::nullopt;
        }
        address.port = *port;
    }
    const bool hostOk = !host.empty() && std::all_of(host.begin(), host.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '.' || c == '-' ||
               c == ':' || c == '_';
    });
    if (!hostOk) {
        return std::nullopt;
    }
    address.host = std::string(host);
    return address;
}

std::optional<std::string> NutVarValue(std::string_view line, std::string_view ups,
                                       std::string_view variable) {
    const NutWords split = SplitNutWords(line);
    const std::vector<std::string>& words = split.words;
    if (split.malformed || words.size() != 4 || words[0] != "VAR" || words[1] != ups ||
        words[2] != variable) {
        return std::nullopt;
    }
    return words[3];
}

int NutReconnectDelay(int attempt) {
    constexpr int kLongest = 30;
    int delay = 1;
    for (int i = 1; i < attempt && delay < kLongest; ++i) {
        delay *= 2;
    }
    return std::min(delay, kLongest);
}

void NutFollowCritical::Answered(std::int64_t now, std::string_view status) {
    fsd_ = NutStatusHas(status, "FSD");
    onBattery_ = NutStatusHas(status, "OB");
    lastAnswer_ = now;
    if (onBattery_ && NutStatusHas(status, "LB")) {
        if (!lowSince_) {
            lowSince_ = now;
        }
    } else {
        lowSince_.reset();
    }
}

void NutFollowCritical::Forget() {
    *this = NutFollowCritical();
}

bool NutFollowCritical::Critical(std::int64_t now) const {
    if (fsd_) {
        return true;
    }
    if (lowSince_ && now - *lowSince_ >= kNutHostSyncSeconds) {
        return true;
    }
    return onBattery_ && lastAnswer_ && now - *lastAnswer_ >= kNutDeadSeconds;
}

}  // namespace zelto
