#pragma once
// The system's serial ports as Windows lists them: the values of
// HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM, each a port name such as "COM3".

#include <vector>

#include "core/link/port_table.h"

namespace zelto {

class RegistryPortTable : public PortTable {
public:
    // In the order of the key's values; empty when the key cannot be opened. Throws
    // InvalidDataType with the value's name for a value that is not a string.
    std::vector<PortEntry> SystemPorts() override;
};

}  // namespace zelto
