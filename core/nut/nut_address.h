#pragma once
// The listen addresses the settings accept, and a peer's address as the server counts and logs
// it.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace zelto {

// A numeric IPv4 or IPv6 address as the transports can bind it. Host names are refused (what
// they resolve to can change under the user), and so are IPv6 zone suffixes.
bool IsNutListenAddress(std::string_view address);

// A peer's address from the bytes of its socket address (network order): four for IPv4, sixteen
// for IPv6. An IPv4 address reaching an IPv6 socket (::ffff:a.b.c.d) is the IPv4 one, so that one
// address counts once against the limits however it came; IPv6 is written as RFC 5952 says.
std::string NutPeerText(const std::uint8_t* bytes, std::size_t count);

}  // namespace zelto
