#pragma once
// The accounts remote upsmon secondaries log in with. Every account has the same single right,
// LOGIN: none may set variables, run commands or force a shutdown.

#include <string>
#include <string_view>
#include <vector>

namespace zelto {

struct NutUser {
    std::string name;
    std::string password;
};

// upsmon sends USERNAME and PASSWORD unquoted and unescaped, so both are held to printable ASCII
// without spaces, '"', '\', '#' or ':' (the separator in the settings), 1 to 64 characters.
bool IsNutCredential(std::string_view text);

// Equal texts, in a time that depends only on the length of `given`, never on where the texts
// first differ.
bool NutSameSecret(std::string_view given, std::string_view expected);

// Whether the name and password belong to one of the users. Every account is compared in full,
// so the time taken says nothing about which part was wrong.
bool NutCredentialsMatch(const std::vector<NutUser>& users, std::string_view name,
                         std::string_view password);

}  // namespace zelto
