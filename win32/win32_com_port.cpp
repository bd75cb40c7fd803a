#include "win32/win32_com_port.h"

#include <algorithm>
#include <climits>

#include "win32/utf.h"

namespace zelto {
namespace {

// 3 bytes at 2400 baud take 12.5 ms, the longest command under 40 ms.
constexpr DWORD kWriteTimeoutMs = 500;

// What the calls on a handle fail with once its device has gone: a USB adapter pulled out, or
// (under Wine) the far end of a pseudo-terminal closed, which reads as "not ready".
bool DeviceGone(DWORD error) {
    switch (error) {
        case ERROR_NOT_READY:
        case ERROR_BAD_COMMAND:
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_DEVICE_REMOVED:
        case ERROR_GEN_FAILURE:
        case ERROR_INVALID_HANDLE:
        case ERROR_OPERATION_ABORTED:
        case ERROR_ACCESS_DENIED:
            return true;
        default:
            return false;
    }
}

}  // namespace

std::wstring ComDevicePath(std::string_view name) {
    const std::wstring wide = Widen(name);
    if (wide.empty() || wide.find_first_of(L"\\/:") != std::wstring::npos) {
        return wide;
    }
    return L"\\\\.\\" + wide;
}

void ApplyLineSettings(DCB& dcb, DWORD baud) {
    dcb.BaudRate = baud;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fTXContinueOnXoff = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    dcb.fAbortOnError = FALSE;
    dcb.fDummy2 = 0;
    dcb.wReserved = 0;
    dcb.XonLim = 2048;
    dcb.XoffLim = 512;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    dcb.ErrorChar = 0;
    dcb.EofChar = 0;
    dcb.EvtChar = 0;
}

COMMTIMEOUTS LineTimeouts() {
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = kWriteTimeoutMs;
    return timeouts;
}

OpenResult Win32ComPort::ComOpen(const std::string& path, int baud) {
    ComClose();
    if (path.empty() || baud <= 0) {
        return OpenResult::Failed;
    }
    KernelHandle handle(CreateFileW(ComDevicePath(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? OpenResult::Missing
                                                                              : OpenResult::Failed;
    }
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    // What the port reports is only the base: every member that matters is set below.
    GetCommState(handle.get(), &dcb);
    ApplyLineSettings(dcb, static_cast<DWORD>(baud));
    COMMTIMEOUTS timeouts = LineTimeouts();
    if (!SetCommState(handle.get(), &dcb) || !SetCommTimeouts(handle.get(), &timeouts)) {
        return OpenResult::Failed;
    }
    handle_ = std::move(handle);
    return OpenResult::Opened;
}

void Win32ComPort::ComClose() {
    handle_.reset();
}

std::size_t Win32ComPort::ComInputCount() {
    if (!handle_) {
        return 0;
    }
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(handle_.get(), &errors, &status)) {
        CloseIfGone();
        return 0;
    }
    return status.cbInQue;
}

std::string Win32ComPort::ComRead(std::size_t count) {
    if (!handle_ || count == 0) {
        return {};
    }
    std::string bytes(std::min<std::size_t>(count, INT_MAX), '\0');
    DWORD read = 0;
    if (!ReadFile(handle_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) {
        CloseIfGone();
        return {};
    }
    bytes.resize(read);
    return bytes;
}

std::size_t Win32ComPort::ComWrite(std::string_view bytes) {
    if (!handle_ || bytes.empty() || bytes.size() > INT_MAX) {
        return 0;
    }
    DWORD written = 0;
    if (!WriteFile(handle_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                   nullptr)) {
        CloseIfGone();
        return 0;
    }
    return written;
}

void Win32ComPort::ComPurgeInput() {
    if (handle_) {
        PurgeComm(handle_.get(), PURGE_RXCLEAR);
    }
}

void Win32ComPort::CloseIfGone() {
    if (DeviceGone(GetLastError())) {
        handle_.reset();
    }
}

}  // namespace zelto
