#pragma once
// The system's serial ports as Windows lists them: the values of
// HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM, each a port name such as "COM3".

#include <vector>

#include "core/link/port_table.h"

namespace zelto {

class RegistryPortTable : public PortTable {
public:
    // In the order of the key's values, those that are not strings left out; empty when the key
    // cannot be opened.
    std::vector<PortEntry> SystemPorts() override;
};

}  // namespace zelto
