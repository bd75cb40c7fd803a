#pragma once
// The NUT server's settings, section "NUT" of the settings file. Every key is optional:
//
//   [NUT]
//   NutServer=1                    1 turns the server on; anything else leaves it off (default)
//   NutListen=127.0.0.1 ::1        addresses to listen on, separated by spaces or commas;
//                                  loopback (127.0.0.1 and ::1) when none is valid. Any other
//                                  address, 0.0.0.0 and :: included, only when named here.
//   NutPort=3493                   1-65535
//   NutUpsName=zelto               the UPS name clients ask for: letters, digits, '.', '-', '_',
//                                  at most 64
//   NutUpsDesc=Desk UPS            its description in LIST UPS, printable ASCII
//   NutUsers=monuser:s3cret nas:pw accounts for upsmon secondaries, name:password pairs separated
//                                  by spaces; name and password 1-64 printable characters without
//                                  spaces, '"', '\', '#' or ':'. They may only LOGIN.
//   NutFsdWait=20                  seconds to wait for secondaries after FSD, 0-600
//   NutIdleTimeout=120             seconds without a request before a client is closed, 1-3600
//   NutMaxClients=32               connections at once, 1-1024
//   NutMaxPerAddress=8             connections at once from one address, 1-1024
//
// A value that breaks these rules is left out (the default stands) and named in the problems.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/nut/nut_fsd_wait.h"
#include "core/nut/nut_limits.h"
#include "core/nut/nut_users.h"

namespace zelto {

inline constexpr std::string_view kNutSection = "NUT";
inline constexpr int kNutDefaultPort = 3493;
inline constexpr std::string_view kNutDefaultUpsName = "zelto";

struct NutSettings {
    bool enabled = false;
    std::vector<std::string> listen{"127.0.0.1", "::1"};
    int port = kNutDefaultPort;
    std::string upsName{kNutDefaultUpsName};
    std::string upsDescription;
    std::vector<NutUser> users;
    int fsdWaitSeconds = kNutDefaultFsdWaitSeconds;
    NutLimits limits;
};

struct NutSettingsRead {
    NutSettings settings;
    // One entry per rejected value: the key, '=', and the value or the offending part of it
    // (never a password).
    std::vector<std::string> problems;
};

// The value of a key in section "NUT", or nothing when the key is missing.
using NutSettingLookup = std::function<std::optional<std::string>(std::string_view key)>;

NutSettingsRead ReadNutSettings(const NutSettingLookup& lookup);

}  // namespace zelto
