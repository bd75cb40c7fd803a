#include "core/nut/nut_users.h"

#include <algorithm>
#include <cstddef>

namespace zelto {
namespace {

constexpr std::size_t kMaxCredentialLength = 64;

bool IsCredentialChar(char c) {
    return c > ' ' && c <= '~' && c != '"' && c != '\\' && c != '#' && c != ':';
}

}  // namespace

bool IsNutCredential(std::string_view text) {
    return !text.empty() && text.size() <= kMaxCredentialLength &&
           std::all_of(text.begin(), text.end(), IsCredentialChar);
}

bool NutSameSecret(std::string_view given, std::string_view expected) {
    unsigned difference = given.size() == expected.size() ? 0u : 1u;
    for (std::size_t i = 0; i < given.size(); ++i) {
        const char other = expected.empty() ? '\0' : expected[i % expected.size()];
        difference |= static_cast<unsigned char>(given[i] ^ other);
    }
    return difference == 0;
}

bool NutCredentialsMatch(const std::vector<NutUser>& users, std::string_view name,
                         std::string_view password) {
    bool match = false;
    for (const NutUser& user : users) {
        const bool sameName = NutSameSecret(name, user.name);
        const bool samePassword = NutSameSecret(password, user.password);
        match = match || (sameName && samePassword);
    }
    return match;
}

}  // namespace zelto
