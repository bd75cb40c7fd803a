#include "win32/registry_port_table.h"

#include "win32/windows_api.h"

#include <string>

#include "win32/unique_handle.h"
#include "win32/utf.h"

namespace zelto {
namespace {

constexpr wchar_t kSerialCommKey[] = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";

// The string in a REG_SZ value's bytes, without the terminating zeros it may or may not carry.
std::wstring StringData(const std::wstring& buffer, DWORD bytes) {
    std::wstring text(buffer.data(), bytes / sizeof(wchar_t));
    const auto end = text.find(L'\0');
    if (end != std::wstring::npos) {
        text.resize(end);
    }
    return text;
}

}  // namespace

std::vector<PortEntry> RegistryPortTable::SystemPorts() {
    std::vector<PortEntry> ports;
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSerialCommKey, 0, KEY_QUERY_VALUE, &opened) !=
        ERROR_SUCCESS) {
        return ports;
    }
    const RegistryKey key(opened);
    DWORD count = 0;
    DWORD longestName = 0;
    DWORD longestData = 0;
    if (RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                         &longestName, &longestData, nullptr, nullptr) != ERROR_SUCCESS) {
        return ports;
    }
    std::wstring name(longestName + 1, L'\0');
    std::wstring data(longestData / sizeof(wchar_t) + 1, L'\0');
    for (DWORD index = 0; index < count; ++index) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD dataBytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
        DWORD type = 0;
        const LSTATUS status =
            RegEnumValueW(key.get(), index, name.data(), &nameLength, nullptr, &type,
                          reinterpret_cast<BYTE*>(data.data()), &dataBytes);
        if (status == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (status != ERROR_SUCCESS) {
            // A value added while we read (longer than the buffers): the next look at the list
            // picks it up.
            continue;
        }
        if (type != REG_SZ) {
            // A driver's stray value names no port; the ports beside it must stay usable.
            continue;
        }
        const std::string port = Narrow(StringData(data, dataBytes));
        ports.push_back(PortEntry{port, port});
    }
    return ports;
}

}  // namespace zelto
