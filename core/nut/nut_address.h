#pragma once
// The listen addresses the settings accept.

#include <string_view>

namespace zelto {

// A numeric IPv4 or IPv6 address as the transports can bind it. Host names are refused (what
// they resolve to can change under the user), and so are IPv6 zone suffixes.
bool IsNutListenAddress(std::string_view address);

}  // namespace zelto
