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

// The chosen port's index in the list, found by its path; when the list lacks it (an adapter
// unplugged), the entry goes in at its sorted place first, so that the choice stays shown.
std::size_t PlacePort(std::vector<PortEntry>& ports, const PortEntry& chosen);

// The entry of a remembered port known only by its path: named as the "Ports" setting names its
// ports (the path as written) when that setting is there, otherwise by the path's last part, as
// the system names its devices (/dev/ttyUSB0 is ttyUSB0).
PortEntry RememberedPort(const std::string& path, bool portsSetting);

// The order of a sorted list box: case-insensitive, character by character, with punctuation
// before digits and digits before letters, and no numeric ordering (COM10 before COM2).
bool PortNameLess(const std::string& left, const std::string& right);

}  // namespace zelto
