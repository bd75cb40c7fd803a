#pragma once
// The system's serial ports as Qt finds them.

#include "core/link/port_table.h"

namespace zelto {

class QtPortTable : public PortTable {
public:
    // One entry per port Qt knows: the short name (ttyS0) to show, the device path to open.
    std::vector<PortEntry> SystemPorts() override;
};

}  // namespace zelto
