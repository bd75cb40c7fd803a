#include "core/link/port_list.h"

#include <algorithm>
#include <string_view>

namespace zelto {
namespace {

// A list box compares with the system's word order rather than raw codes: symbols first, then
// digits, then letters without regard to case. Bytes of non-ASCII text come last, in code order.
int SortWeight(unsigned char c) {
    if (c >= 'A' && c <= 'Z') {
        c = static_cast<unsigned char>(c - 'A' + 'a');
    }
    if (c >= 'a' && c <= 'z') {
        return 0x200 + c;
    }
    if (c >= '0' && c <= '9') {
        return 0x100 + c;
    }
    if (c >= 0x80) {
        return 0x300 + c;
    }
    return c;
}

std::string_view TrimBlanks(std::string_view text) {
    constexpr std::string_view kBlanks = " \t";
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

std::vector<PortEntry> PortsFromSetting(std::string_view setting) {
    std::vector<PortEntry> ports;
    while (true) {
        const auto separator = setting.find(';');
        const std::string_view piece = TrimBlanks(setting.substr(0, separator));
        if (!piece.empty()) {
            ports.push_back(PortEntry{std::string(piece), std::string(piece)});
        }
        if (separator == std::string_view::npos) {
            break;
        }
        setting.remove_prefix(separator + 1);
    }
    return ports;
}

}  // namespace

bool PortNameLess(const std::string& left, const std::string& right) {
    return std::lexicographical_compare(left.begin(), left.end(), right.begin(), right.end(),
                                        [](char a, char b) {
                                            return SortWeight(static_cast<unsigned char>(a)) <
                                                   SortWeight(static_cast<unsigned char>(b));
                                        });
}

std::size_t PlacePort(std::vector<PortEntry>& ports, const PortEntry& chosen) {
    auto found = std::find_if(ports.begin(), ports.end(),
                              [&](const PortEntry& entry) { return entry.path == chosen.path; });
    if (found == ports.end()) {
        found = ports.insert(std::upper_bound(ports.begin(), ports.end(), chosen,
                                              [](const PortEntry& a, const PortEntry& b) {
                                                  return PortNameLess(a.name, b.name);
                                              }),
                             chosen);
    }
    return static_cast<std::size_t>(found - ports.begin());
}

PortEntry RememberedPort(const std::string& path, bool portsSetting) {
    if (portsSetting) {
        return PortEntry{path, path};
    }
    const auto separator = path.find_last_of("/\\");
    const std::string name = separator == std::string::npos ? path : path.substr(separator + 1);
    return PortEntry{name.empty() ? path : name, path};
}

std::vector<PortEntry> BuildPortList(std::vector<PortEntry> systemPorts,
                                     const std::optional<std::string>& portsSetting) {
    std::vector<PortEntry> ports =
        portsSetting ? PortsFromSetting(*portsSetting) : std::move(systemPorts);
    std::stable_sort(ports.begin(), ports.end(), [](const PortEntry& a, const PortEntry& b) {
        return PortNameLess(a.name, b.name);
    });
    return ports;
}

}  // namespace zelto
