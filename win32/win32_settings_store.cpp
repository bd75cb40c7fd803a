#include "win32/win32_settings_store.h"

#include "win32/windows_api.h"

#include <algorithm>
#include <climits>
#include <string>

#include "win32/unique_handle.h"
#include "win32/utf.h"

namespace zelto {
namespace {

bool WriteAll(HANDLE file, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 1 << 20));
        DWORD written = 0;
        if (!WriteFile(file, text.data() + done, chunk, &written, nullptr) || written == 0) {
            return false;
        }
        done += written;
    }
    return true;
}

}  // namespace

std::string Win32SettingsStore::CurrentDirectory() {
    const DWORD needed = GetCurrentDirectoryW(0, nullptr);
    if (needed == 0) {
        return ".";
    }
    std::wstring directory(needed, L'\0');
    const DWORD length = GetCurrentDirectoryW(needed, directory.data());
    if (length == 0 || length >= needed) {
        return ".";
    }
    directory.resize(length);
    return Narrow(directory);
}

std::optional<std::string> Win32SettingsStore::ReadFile(const std::string& path) {
    const KernelHandle file(CreateFileW(Widen(path).c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return std::nullopt;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) {
        return std::nullopt;
    }
    std::string text(static_cast<std::size_t>(std::min<LONGLONG>(
                         size.QuadPart, static_cast<LONGLONG>(kSettingsReadLimit))),
                     '\0');
    std::size_t done = 0;
    while (done < text.size()) {
        DWORD read = 0;
        if (!::ReadFile(file.get(), text.data() + done, static_cast<DWORD>(text.size() - done),
                        &read, nullptr)) {
            return std::nullopt;
        }
        if (read == 0) {
            // Shorter than it was a moment ago: what is there is the file.
            text.resize(done);
            break;
        }
        done += read;
    }
    return text;
}

std::optional<std::uint64_t> Win32SettingsStore::FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(Widen(path).c_str(), GetFileExInfoStandard, &data)) {
        return std::nullopt;
    }
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool Win32SettingsStore::Exists(const std::string& path) {
    return GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool Win32SettingsStore::ReplaceFile(const std::string& path, const std::string& text) {
    const std::wstring target = Widen(path);
    // Next to the file, so that the move is a rename on the same volume; named after the process
    // so that two copies of the program never write into the same temporary file.
    const std::wstring temporary = target + L"." + std::to_wstring(GetCurrentProcessId()) + L".tmp";
    bool written = false;
    {
        const KernelHandle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr,
                                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            return false;
        }
        written = WriteAll(file.get(), text) && FlushFileBuffers(file.get());
    }
    if (!written || !MoveFileExW(temporary.c_str(), target.c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace zelto
