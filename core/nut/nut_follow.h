#pragma once
// Following a UPS that another machine serves over NUT, as a secondary does: where the UPS is,
// what the server's answers say, how long to wait before connecting again, and when the UPS's
// state calls for this computer to shut down (the rules of NUT's upsmon for a secondary).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/nut/nut_settings.h"

namespace zelto {

// A UPS as NUT names it: upsname@host[:port], the host a name, an IPv4 address or an IPv6
// address in brackets ("ups@192.168.1.10", "zelto@127.0.0.1:3493", "ups@[::1]:3493").
struct NutUpsAddress {
    std::string ups;
    std::string host;  // without the brackets
    int port = kNutDefaultPort;
};

// The address, or nothing for a text that names no UPS that way.
std::optional<NutUpsAddress> ParseNutUpsAddress(std::string_view text);

// The value a `GET VAR` answer carries for `ups` and `variable` (`VAR ups var "value"`), or
// nothing for any other line: an error, another UPS or variable, a malformed line.
std::optional<std::string> NutVarValue(std::string_view line, std::string_view ups,
                                       std::string_view variable);

// Whether `status` (ups.status's words, "OB LB") holds `word`.
bool NutStatusHas(std::string_view status, std::string_view word);

// Seconds to wait before connection attempt `attempt` after a loss (1 for the first): 1, 2, 4,
// 8, 16, then 30 for as long as it takes.
int NutReconnectDelay(int attempt);

// Seconds a secondary gives the primary to set FSD after the UPS reports on battery and low, and
// a server last seen on battery to answer again.
inline constexpr std::int64_t kNutHostSyncSeconds = 15;
inline constexpr std::int64_t kNutDeadSeconds = 15;

// Whether the followed UPS calls for the shutdown: FSD at once; on battery and low ("OB LB")
// once FSD has not followed within kNutHostSyncSeconds; a server whose UPS was last seen on
// battery and that has not answered for kNutDeadSeconds. Times are seconds on any steady clock.
class NutFollowCritical {
public:
    // The server answered ups.status with `status` (its words, "OB LB", "FSD OB LB", ...).
    void Answered(std::int64_t now, std::string_view status);
    // The connection is gone or the UPS's readings were dropped (after the computer slept): what
    // was seen before no longer counts.
    void Forget();

    bool Critical(std::int64_t now) const;
    bool ForcedShutdown() const { return fsd_; }
    bool OnBattery() const { return onBattery_; }

private:
    bool fsd_ = false;
    bool onBattery_ = false;
    std::optional<std::int64_t> lastAnswer_;
    std::optional<std::int64_t> lowSince_;  // when "OB LB" began, while it lasts
};

}  // namespace zelto
