#include "core/nut/nut_settings.h"

#include <algorithm>
#include <utility>

#include "core/nut/nut_address.h"
#include "core/nut/nut_numbers.h"
#include "core/nut/nut_text.h"

namespace zelto {
namespace {

constexpr int kMaxFsdWaitSeconds = 600;
constexpr int kMaxIdleTimeoutSeconds = 3600;
constexpr int kMaxConnections = 1024;

// Words separated by spaces, tabs or any of `separators`.
std::vector<std::string> ListWords(std::string_view text, std::string_view separators) {
    std::vector<std::string> words;
    std::string word;
    for (const char c : text) {
        if (c == ' ' || c == '\t' || separators.find(c) != std::string_view::npos) {
            if (!word.empty()) {
                words.push_back(word);
            }
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.empty()) {
        words.push_back(word);
    }
    return words;
}

class Reader {
public:
    explicit Reader(const NutSettingLookup& lookup) : lookup_(lookup) {}

    // A key present with nothing but spaces counts as missing.
    std::optional<std::string> Text(std::string_view key) const {
        auto text = lookup_(key);
        if (text && text->find_first_not_of(" \t") == std::string::npos) {
            return std::nullopt;
        }
        return text;
    }

    void Int(std::string_view key, int low, int high, int& target) {
        const auto text = Text(key);
        if (!text) {
            return;
        }
        if (const auto value = ParseNutInt(*text, low, high)) {
            target = *value;
        } else {
            Problem(key, *text);
        }
    }

    void Problem(std::string_view key, std::string_view value) {
        std::string problem(key);
        problem += '=';
        problem += NutSafeValue(value);
        problems_.push_back(std::move(problem));
    }

    std::vector<std::string> TakeProblems() { return std::move(problems_); }

private:
    const NutSettingLookup& lookup_;
    std::vector<std::string> problems_;
};

void ReadListen(Reader& reader, NutSettings& settings) {
    const auto text = reader.Text("NutListen");
    if (!text) {
        return;
    }
    std::vector<std::string> addresses;
    for (const std::string& word : ListWords(*text, ",")) {
        if (!IsNutListenAddress(word)) {
            reader.Problem("NutListen", word);
        } else if (std::find(addresses.begin(), addresses.end(), word) == addresses.end()) {
            addresses.push_back(word);
        }
    }
    // Only loopback when nothing usable was named: a mistyped address never opens the server
    // wider than the default.
    if (!addresses.empty()) {
        settings.listen = std::move(addresses);
    }
}

void ReadUsers(Reader& reader, NutSettings& settings) {
    const auto text = reader.Text("NutUsers");
    if (!text) {
        return;
    }
    // Passwords may hold commas, so only spaces separate accounts.
    for (const std::string& word : ListWords(*text, "")) {
        const std::size_t colon = word.find(':');
        const std::string name = word.substr(0, colon);
        const std::string password = colon == std::string::npos ? "" : word.substr(colon + 1);
        const bool duplicate =
            std::any_of(settings.users.begin(), settings.users.end(),
                        [&name](const NutUser& user) { return user.name == name; });
        if (!IsNutCredential(name) || !IsNutCredential(password) || duplicate) {
            // The password stays out of the problem text.
            reader.Problem("NutUsers", name);
        } else {
            settings.users.push_back(NutUser{name, password});
        }
    }
}

}  // namespace

NutSettingsRead ReadNutSettings(const NutSettingLookup& lookup) {
    Reader reader(lookup);
    NutSettings settings;
    if (const auto enabled = reader.Text("NutServer")) {
        settings.enabled = ParseNutInt(*enabled, 1, 1).has_value();
        if (!settings.enabled && !ParseNutInt(*enabled, 0, 0)) {
            reader.Problem("NutServer", *enabled);
        }
    }
    ReadListen(reader, settings);
    reader.Int("NutPort", 1, 65535, settings.port);
    if (const auto name = reader.Text("NutUpsName")) {
        if (IsNutName(*name)) {
            settings.upsName = *name;
        } else {
            reader.Problem("NutUpsName", *name);
        }
    }
    if (const auto description = reader.Text("NutUpsDesc")) {
        settings.upsDescription = NutSafeValue(*description);
    }
    ReadUsers(reader, settings);
    reader.Int("NutFsdWait", 0, kMaxFsdWaitSeconds, settings.fsdWaitSeconds);
    reader.Int("NutIdleTimeout", 1, kMaxIdleTimeoutSeconds, settings.limits.idleTimeoutSeconds);
    reader.Int("NutMaxClients", 1, kMaxConnections, settings.limits.maxClients);
    reader.Int("NutMaxPerAddress", 1, kMaxConnections, settings.limits.maxClientsPerAddress);
    return NutSettingsRead{std::move(settings), reader.TakeProblems()};
}

}  // namespace zelto
