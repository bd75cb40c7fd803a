#pragma once
// A UPS another machine serves over NUT, as the program follows it: the login's settings, the
// "Сетевой UPS…" dialog's fields, and the server's variables in the terms the monitor acts on.

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "core/monitor/followed_ups.h"

namespace zelto {

// The login for every network UPS, in section "UPS". The password is kept nowhere else: not in
// the journal, the window or any message.
inline constexpr std::string_view kNutUserKey = "NUTUser";
inline constexpr std::string_view kNutPasswordKey = "NUTPassword";

// What the "Сетевой UPS…" dialog holds. `host` may carry a port ("nas:3493", "[::1]:3493").
struct NetworkUpsForm {
    std::string host;
    std::string ups;
    std::string user;
    std::string password;  // empty: keep the stored one
};

// The UPS as the port list and the settings name it, "ups@host[:port]"; nothing when the fields
// name no UPS that way.
std::optional<std::string> NetworkUpsPath(const NetworkUpsForm& form);

// A port list path that names a network UPS rather than a serial port.
bool IsNetworkUpsPath(std::string_view path);

// The server's latest values (by variable name) as one tick of the monitor takes them.
FollowedUps FollowedUpsOf(const std::map<std::string, std::string, std::less<>>& values,
                          bool answering, bool critical, bool forcedShutdown);

}  // namespace zelto
