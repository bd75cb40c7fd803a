#include "core/nut/nut_clients.h"

#include <algorithm>
#include <utility>

#include "core/nut/nut_limits.h"
#include "core/nut/nut_text.h"

namespace zelto {
namespace {

// The user name as a client gave it, made fit for a log line.
std::string LoggedName(const std::optional<std::string>& name) {
    std::string text = NutSafeValue(name.value_or(""));
    if (text.size() > kNutMaxNameLength) {
        text.resize(kNutMaxNameLength);
    }
    return text;
}

}  // namespace

NutClients::NutClients(NutSettings settings, std::string version, const NutSnapshot& snapshot)
    : settings_(std::move(settings)), version_(std::move(version)), snapshot_(snapshot) {}

std::optional<NutClients::Id> NutClients::Open(const std::string& address, Clock::time_point now) {
    const auto fromAddress = std::count_if(clients_.begin(), clients_.end(), [&](const auto& c) {
        return c.second.address == address;
    });
    if (!NutAdmitClient(settings_.limits, OpenCount(), static_cast<int>(fromAddress))) {
        return std::nullopt;
    }
    const Id id = nextId_++;
    Client& client = clients_[id];
    client.address = address;
    client.lastLine = now;
    return id;
}

NutOutput NutClients::Receive(Id id, std::string_view bytes, Clock::time_point now) {
    const auto found = clients_.find(id);
    if (found == clients_.end() || found->second.closing) {
        return {};
    }
    Client& client = found->second;
    std::vector<NutLine> lines = client.buffer.Feed(bytes);
    if (lines.empty()) {
        return {};
    }
    // Only a whole request counts as activity: a client trickling bytes without ever ending a
    // line is idle.
    client.lastLine = now;
    for (NutLine& line : lines) {
        client.waiting.push_back(std::move(line));
    }
    if (client.held) {
        NutOutput output;
        if (client.waiting.size() > kNutMaxWaitingLines) {
            client.closing = true;
            client.waiting.clear();
            output.drop = true;
        }
        return output;
    }
    return Answer(client, NutOutput{});
}

NutOutput NutClients::Resume(Id id, Clock::time_point) {
    const auto found = clients_.find(id);
    if (found == clients_.end() || found->second.closing) {
        return {};
    }
    Client& client = found->second;
    NutOutput output;
    if (client.held) {
        const NutReply reply = std::move(*client.held);
        client.held.reset();
        Append(client, output, reply);
        if (output.close || output.drop) {
            return output;
        }
    }
    return Answer(client, std::move(output));
}

void NutClients::Close(Id id) {
    clients_.erase(id);
}

bool NutClients::Held(Id id) const {
    const auto found = clients_.find(id);
    return found != clients_.end() && found->second.held.has_value();
}

std::vector<NutClients::Id> NutClients::Idle(Clock::time_point now) const {
    std::vector<Id> idle;
    for (const auto& [id, client] : clients_) {
        if (NutIdleExpired(settings_.limits, now - client.lastLine)) {
            idle.push_back(id);
        }
    }
    return idle;
}

int NutClients::LoginCount() const {
    return static_cast<int>(std::count_if(clients_.begin(), clients_.end(),
                                          [](const auto& c) { return c.second.session.loggedIn; }));
}

std::vector<std::string> NutClients::LoginAddresses() const {
    std::vector<std::string> addresses;
    for (const auto& [id, client] : clients_) {
        if (client.session.loggedIn) {
            addresses.push_back(client.address);
        }
    }
    return addresses;
}

NutOutput NutClients::Answer(Client& client, NutOutput output) {
    while (!client.waiting.empty()) {
        const NutLine line = std::move(client.waiting.front());
        client.waiting.pop_front();
        const std::vector<std::string> addresses = LoginAddresses();
        const NutServerView view{settings_.upsName, settings_.upsDescription,
                                 version_,          settings_.users,
                                 snapshot_,         LoginCount(),
                                 addresses};
        NutReply reply = NutAnswer(client.session, view, line);
        if (reply.loginFailed) {
            output.notices.push_back("NUT: login as " + LoggedName(client.session.username) +
                                     " from " + client.address + " refused");
            client.held = std::move(reply);
            output.hold = true;
            return output;
        }
        Append(client, output, reply);
        if (output.close || output.drop) {
            break;
        }
    }
    return output;
}

void NutClients::Append(Client& client, NutOutput& output, const NutReply& reply) {
    if (reply.loggedIn) {
        output.notices.push_back("NUT: " + LoggedName(client.session.username) +
                                 " logged in from " + client.address);
    }
    output.text += reply.text;
    if (reply.close) {
        output.close = true;
    } else if (NutOutputOverCap(settings_.limits, output.text.size())) {
        output.drop = true;
    } else {
        return;
    }
    client.closing = true;
    client.waiting.clear();
}

bool QueueNutOutput(const NutLimits& limits, const NutOutput& output, std::string& unsent,
                    bool& closeWhenSent) {
    if (output.drop) {
        return false;
    }
    unsent += output.text;
    if (NutOutputOverCap(limits, unsent.size())) {
        return false;
    }
    closeWhenSent = closeWhenSent || output.close;
    return true;
}

}  // namespace zelto
