#pragma once
// The port list the main window shows: either the ports the user named in the settings or the
// system's own, always in the order a sorted list box would keep them.

#include <optional>
#include <string>
#include <vector>

#include "core/link/port_table.h"

namespace zelto {

// With portsSetting present (device paths separated by ";"), the list is exactly those paths:
// blanks around each piece trimmed, empty pieces dropped, each shown as written. Without it, the
// system ports. Either way sorted by PortNameLess, equal names keeping their order.
std::vector<PortEntry> BuildPortList(std::vector<PortEntry> systemPorts,
                                     const std::optional<std::string>& portsSetting);

// The order of a sorted list box: case-insensitive, character by character, with punctuation
// before digits and digits before letters, and no numeric ordering (COM10 before COM2).
bool PortNameLess(const std::string& left, const std::string& right);

}  // namespace zelto
