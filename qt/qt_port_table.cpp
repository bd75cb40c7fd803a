#include "qt/qt_port_table.h"

#include <QSerialPortInfo>

namespace zelto {

std::vector<PortEntry> QtPortTable::SystemPorts() {
    std::vector<PortEntry> ports;
    const auto available = QSerialPortInfo::availablePorts();
    ports.reserve(static_cast<std::size_t>(available.size()));
    for (const QSerialPortInfo& info : available) {
        ports.push_back(
            PortEntry{info.portName().toStdString(), info.systemLocation().toStdString()});
    }
    return ports;
}

}  // namespace zelto
