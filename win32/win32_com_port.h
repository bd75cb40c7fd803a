#pragma once
// The serial port through the Windows communications API: one handle, no overlapped I/O, reads
// that never wait.

#include "win32/windows_api.h"

#include <cstddef>
#include <string>
#include <string_view>

#include "core/link/com_port.h"
#include "win32/unique_handle.h"

namespace zelto {

// The name CreateFileW needs for a port: a plain device name such as "COM7" goes through the
// device namespace ("\\.\COM7"), without which COM10 and above never open; a name that already
// is a path is kept.
std::wstring ComDevicePath(std::string_view name);

// The line settings the UPS needs, over what the port reported: 2400 (or `baud`) 8N1, binary
// mode, DTR raised, RTS low, no flow control of any kind, no error-character replacement.
void ApplyLineSettings(DCB& dcb, DWORD baud);

// Reads return at once with whatever is queued; a write of a few bytes at 2400 baud that has not
// gone out within the write time-out gives up, so a stuck adapter never freezes the window.
COMMTIMEOUTS LineTimeouts();

class Win32ComPort : public ComPort {
public:
    // Never PermissionDenied: a COM port has no owner group, and a port another program holds
    // fails with "access denied" just as a missing one fails; both are retried quietly.
    OpenResult ComOpen(const std::string& path, int baud) override;
    void ComClose() override;
    bool IsOpen() const override { return static_cast<bool>(handle_); }
    std::size_t ComInputCount() override;
    std::string ComRead(std::size_t count) override;
    std::size_t ComWrite(std::string_view bytes) override;
    void ComPurgeInput() override;

private:
    // A USB adapter pulled out leaves a handle on which every call fails: closing it lets the
    // program reopen the port quietly once the adapter is back.
    void CloseIfGone();

    KernelHandle handle_;
};

}  // namespace zelto
