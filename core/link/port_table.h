#pragma once
// The system's serial ports, and the rules that turn them into the port list.

#include <optional>
#include <string>
#include <vector>

namespace zelto {

struct PortEntry {
    std::string name;  // shown in the list
    std::string path;  // opened
    bool operator==(const PortEntry& other) const {
        return name == other.name && path == other.path;
    }
};

class PortTable {
public:
    virtual ~PortTable() = default;
    // The system's serial ports in whatever order the system gives them. An entry of the
    // system's table that names no port is left out: the others must stay usable.
    virtual std::vector<PortEntry> SystemPorts() = 0;
};

}  // namespace zelto
