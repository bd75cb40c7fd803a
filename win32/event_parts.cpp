#include "win32/event_parts.h"

#include "win32/windows_api.h"

#include <climits>

#include "win32/main_window.h"
#include "win32/unique_handle.h"
#include "win32/utf.h"

namespace zelto {
namespace {

constexpr std::int64_t kTicksPerSecond = 10000000;              // FILETIME counts 100 ns
constexpr std::int64_t kUnixEpochTicks = 116444736000000000LL;  // 1970-01-01 since 1601-01-01

std::int64_t Ticks(const FILETIME& time) {
    ULARGE_INTEGER value{};
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    return static_cast<std::int64_t>(value.QuadPart);
}

}  // namespace

Moment SystemClock::Now() {
    FILETIME utc{};
    GetSystemTimeAsFileTime(&utc);
    Moment now{(Ticks(utc) - kUnixEpochTicks) / kTicksPerSecond, 0};
    // The zone's rules applied to this very moment: the offset changes with daylight saving.
    SYSTEMTIME utcTime{};
    SYSTEMTIME localTime{};
    FILETIME local{};
    if (FileTimeToSystemTime(&utc, &utcTime) &&
        SystemTimeToTzSpecificLocalTime(nullptr, &utcTime, &localTime) &&
        SystemTimeToFileTime(&localTime, &local)) {
        // Rounded to whole minutes: the two times differ by the milliseconds dropped on the way.
        const std::int64_t seconds = (Ticks(local) - Ticks(utc)) / kTicksPerSecond;
        const std::int64_t minutes = (seconds + (seconds < 0 ? -30 : 30)) / 60;
        now.utcOffsetSeconds = static_cast<std::int32_t>(minutes * 60);
    }
    return now;
}

std::uint64_t DiskJournalFile::Size() {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(Widen(Path()).c_str(), GetFileExInfoStandard, &data)) {
        return 0;
    }
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool DiskJournalFile::Append(std::string_view bytes) {
    if (bytes.size() > static_cast<std::size_t>(INT_MAX)) {
        return false;
    }
    // Opened for each line: events are rare, and a file held open would keep the user from
    // moving the journal away, and the rotation of another copy from renaming it. Readers may
    // share it; a rename while the line is written waits for the close.
    const KernelHandle file(CreateFileW(Widen(Path()).c_str(), FILE_APPEND_DATA,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return false;
    }
    DWORD written = 0;
    const auto size = static_cast<DWORD>(bytes.size());
    return WriteFile(file.get(), bytes.data(), size, &written, nullptr) && written == size &&
           FlushFileBuffers(file.get());
}

bool DiskJournalFile::Rotate() {
    return MoveFileExW(Widen(Path()).c_str(), Widen(OldPath()).c_str(),
                       MOVEFILE_REPLACE_EXISTING) != FALSE;
}

void TrayBalloonNotifier::Show(const Notification& notification) {
    if (TrayIcon* tray = form_.Tray()) {
        tray->ShowBalloon(notification.title, notification.body);
    }
}

}  // namespace zelto
