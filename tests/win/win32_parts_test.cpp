// The Windows front end's parts that need no window, on the Windows runtime under Wine: text
// conversion, the serial line's settings, the power calls and their recorder, the settings file on
// disk, the error boxes' queue, the journal file and the clock, the one-instance rule, the NUT
// server's wait for its secondaries, and the client socket that follows another machine's UPS.
#include <gtest/gtest.h>

#include "win32/nut_server.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <deque>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/base/errors.h"
#include "core/base/program_state.h"
#include "core/base/settings.h"
#include "core/events/journal.h"
#include "core/program/nut_startup.h"
#include "win32/event_parts.h"
#include "win32/images.h"
#include "win32/journal_window.h"
#include "win32/message_box_reporter.h"
#include "win32/nut_client.h"
#include "win32/power_calls.h"
#include "win32/recorded_power_requests.h"
#include "win32/single_instance.h"
#include "win32/system_message.h"
#include "win32/tray_icon.h"
#include "win32/unique_handle.h"
#include "win32/utf.h"
#include "win32/win32_com_port.h"
#include "win32/win32_settings_store.h"

namespace zelto {
namespace {

TEST(Utf, RoundTripsAndReplacesWhatIsNotText) {
    struct Case {
        std::string utf8;
        std::wstring utf16;
    };
    const Case cases[] = {
        {"", L""},
        {"COM7", L"COM7"},
        {"Напряжение", L"\x041d\x0430\x043f\x0440\x044f\x0436\x0435\x043d\x0438\x0435"},
        {"35.0 °C",
         L"35.0 \x00b0"
         L"C"},
        // Outside the basic plane: a surrogate pair.
        {"\xf0\x9f\x94\x8b", L"\xd83d\xdd0b"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Widen(c.utf8), c.utf16) << c.utf8;
        EXPECT_EQ(Narrow(c.utf16), c.utf8) << c.utf8;
    }
    EXPECT_EQ(Widen("a\xff"
                    "b"),
              L"a\xfffd"
              L"b");
    EXPECT_EQ(Narrow(std::wstring(L"a\xd800"
                                  L"b")),
              "a\xef\xbf\xbd"
              "b");
}

TEST(ComPort, DeviceNamesGoThroughTheDeviceNamespace) {
    struct Case {
        const char* name;
        const wchar_t* path;
    };
    const Case cases[] = {
        {"COM1", L"\\\\.\\COM1"},
        {"COM10", L"\\\\.\\COM10"},
        {"COM256", L"\\\\.\\COM256"},
        {"\\\\.\\COM3", L"\\\\.\\COM3"},
        {"\\\\?\\USB#VID_0403", L"\\\\?\\USB#VID_0403"},
        {"C:\\ups\\line", L"C:\\ups\\line"},
        {"", L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ComDevicePath(c.name), c.path) << c.name;
    }
}

TEST(ComPort, LineSettingsOverwriteWhateverThePortReported) {
    DCB dcb;
    std::memset(&dcb, 0xFF, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
    ApplyLineSettings(dcb, 2400);
    EXPECT_EQ(dcb.DCBlength, sizeof(DCB));
    EXPECT_EQ(dcb.BaudRate, 2400u);
    // The 32-bit word of flags: binary mode and DTR raised, nothing else (RTS low, no handshake,
    // no XON/XOFF, no parity check, no error character, no null stripping, no abort on error).
    std::uint32_t flags = 0;
    std::memcpy(&flags, reinterpret_cast<const char*>(&dcb) + offsetof(DCB, BaudRate) + 4, 4);
    EXPECT_EQ(flags, 0x11u);
    EXPECT_EQ(dcb.wReserved, 0);
    EXPECT_EQ(dcb.XonLim, 2048);
    EXPECT_EQ(dcb.XoffLim, 512);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, 0);
    EXPECT_EQ(dcb.StopBits, 0);
    EXPECT_EQ(dcb.XonChar, 0x11);
    EXPECT_EQ(dcb.XoffChar, 0x13);
    EXPECT_EQ(dcb.ErrorChar, 0);
    EXPECT_EQ(dcb.EofChar, 0);
    EXPECT_EQ(dcb.EvtChar, 0);
}

TEST(ComPort, ReadsNeverWaitAndWritesGiveUp) {
    const COMMTIMEOUTS timeouts = LineTimeouts();
    // The documented combination for "return at once with what is there".
    EXPECT_EQ(timeouts.ReadIntervalTimeout, MAXDWORD);
    EXPECT_EQ(timeouts.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(timeouts.ReadTotalTimeoutConstant, 0u);
    // A few bytes at 2400 baud take milliseconds; a write never hangs for good.
    EXPECT_GT(timeouts.WriteTotalTimeoutConstant, 100u);
    EXPECT_LE(timeouts.WriteTotalTimeoutConstant, 2000u);
}

TEST(ComPort, AMissingPortStaysClosedAndQuiet) {
    Win32ComPort port;
    EXPECT_EQ(port.ComOpen("COM250", 2400), OpenResult::Missing);
    EXPECT_EQ(port.ComOpen("", 2400), OpenResult::Failed);
    EXPECT_EQ(port.AccessGroup("COM250"), "");
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.ComInputCount(), 0u);
    EXPECT_EQ(port.ComRead(47), "");
    EXPECT_EQ(port.ComWrite("Q1\r"), 0u);
    port.ComPurgeInput();
    port.ComClose();
    EXPECT_FALSE(port.IsOpen());
}

// The icon reaches the shell through a stand-in that refuses the first adds, as a taskbar that
// is not ready at log-on does.
TEST(TrayIcon, ARefusedAddIsTriedAgainUntilTheTrayTakesIt) {
    const struct {
        const char* name;
        int refusals;
        bool taskbarCreated;  // the taskbar tells it is new right after the first refusal
        std::vector<DWORD> calls;
        int ticksToPresent;  // -1: present at once
    } cases[] = {
        {"taken at once", 0, false, {NIM_ADD, NIM_MODIFY}, -1},
        {"refused twice", 2, false, {NIM_ADD, NIM_ADD, NIM_ADD}, 2 * TrayIcon::kRetryTicks},
        {"a new taskbar", 1, true, {NIM_ADD, NIM_ADD}, 0},
    };
    for (const auto& c : cases) {
        const ProgramState state;
        const Images images;
        std::vector<DWORD> calls;
        int refusals = c.refusals;
        TrayIcon tray(nullptr, state, images, [&](DWORD action, NOTIFYICONDATAW*) -> BOOL {
            calls.push_back(action);
            return action == NIM_ADD && refusals-- > 0 ? FALSE : TRUE;
        });
        tray.SetTrayIcon(TrayAdd, nullptr);
        // A change while the tray refuses the icon goes with the next add, not on its own.
        tray.SetTrayIcon(TrayModify, nullptr);
        if (c.taskbarCreated) {
            tray.TaskbarCreated();
        }
        int ticks = 0;
        while (!tray.Present() && ticks < 10 * TrayIcon::kRetryTicks) {
            tray.Tick();
            ++ticks;
        }
        EXPECT_TRUE(tray.Present()) << c.name;
        EXPECT_EQ(ticks, c.ticksToPresent < 0 ? 0 : c.ticksToPresent) << c.name;
        EXPECT_EQ(calls, c.calls) << c.name;
        // Once there, or once deleted, nothing more is tried.
        for (int tick = 0; tick < 2 * TrayIcon::kRetryTicks; ++tick) {
            tray.Tick();
        }
        tray.SetTrayIcon(TrayDelete, nullptr);
        for (int tick = 0; tick < 2 * TrayIcon::kRetryTicks; ++tick) {
            tray.Tick();
        }
        calls.erase(calls.begin(), calls.begin() + static_cast<std::ptrdiff_t>(c.calls.size()));
        EXPECT_EQ(calls, std::vector<DWORD>{NIM_DELETE}) << c.name;
    }
}

TEST(Power, EachActionIsTheRightCall) {
    const PowerCall off = PowerCallFor(PowerAction::PowerOff);
    EXPECT_EQ(off.kind, PowerCall::ExitWindows);
    // EWX_POWEROFF | EWX_FORCEIFHUNG; a planned shutdown for a power failure (major power,
    // minor environment).
    EXPECT_EQ(off.exitFlags, 0x18u);
    EXPECT_EQ(off.exitReason, 0x8006000Cu);
    EXPECT_EQ(DescribePowerCall(off), "ExitWindowsEx(0x00000018, 0x8006000c)");

    const PowerCall hibernate = PowerCallFor(PowerAction::Hibernate);
    EXPECT_EQ(hibernate.kind, PowerCall::Suspend);
    EXPECT_TRUE(hibernate.hibernate);
    EXPECT_EQ(DescribePowerCall(hibernate), "SetSuspendState(TRUE, FALSE, FALSE)");

    const PowerCall standBy = PowerCallFor(PowerAction::Suspend);
    EXPECT_EQ(standBy.kind, PowerCall::Suspend);
    EXPECT_FALSE(standBy.hibernate);
    EXPECT_EQ(DescribePowerCall(standBy), "SetSuspendState(FALSE, FALSE, FALSE)");
}

TEST(Power, ThePrivilegeOfThisProcessCanBeEnabled) {
    EXPECT_EQ(EnableShutdownPrivilege(), std::nullopt);
}

TEST(Power, SystemMessagesAreOneLineOrTheCode) {
    const std::string denied = SystemMessage(ERROR_ACCESS_DENIED);
    EXPECT_FALSE(denied.empty());
    EXPECT_EQ(denied.find_first_of("\r\n"), std::string::npos) << denied;
    EXPECT_NE(denied.back(), ' ');
    EXPECT_EQ(SystemMessage(0x2000FFFF), "Error 536936447");
}

// The names in a folder.
std::vector<std::wstring> NamesIn(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") {
            names.push_back(name);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

// A folder of its own under the temporary folder, removed again with what is in it.
class TemporaryFolder {
public:
    TemporaryFolder() {
        wchar_t base[MAX_PATH];
        GetTempPathW(MAX_PATH, base);
        path_ = std::wstring(base) + L"zelto-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(GetTickCount64());
        CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~TemporaryFolder() { Remove(path_); }
    const std::wstring& Path() const { return path_; }
    std::vector<std::wstring> Names() const { return NamesIn(path_); }

private:
    static void Remove(const std::wstring& path) {
        WIN32_FIND_DATAW found{};
        const HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = found.cFileName;
                if (name == L"." || name == L"..") {
                    continue;
                }
                const std::wstring child = path + L"\\" + name;
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    Remove(child);
                } else {
                    DeleteFileW(child.c_str());
                }
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        RemoveDirectoryW(path.c_str());
    }

    std::wstring path_;
};

// Runs with the current directory changed, and changes it back.
class InFolder {
public:
    explicit InFolder(const std::wstring& path) {
        GetCurrentDirectoryW(MAX_PATH, previous_);
        SetCurrentDirectoryW(path.c_str());
    }
    ~InFolder() { SetCurrentDirectoryW(previous_); }

private:
    wchar_t previous_[MAX_PATH] = L"";
};

TEST(SettingsFile, LivesInTheCurrentFolderWithCrlfLinesAndIsReplacedWhole) {
    const TemporaryFolder folder;
    // A long path, with a Cyrillic folder name on the way.
    const std::wstring deep = folder.Path() + L"\\" + Widen("Папка с настройками ИБП") +
                              L"\\a-folder-name-long-enough-for-sixty-characters";
    CreateDirectoryW((folder.Path() + L"\\" + Widen("Папка с настройками ИБП")).c_str(), nullptr);
    CreateDirectoryW(deep.c_str(), nullptr);
    const InFolder inside(deep);
    Win32SettingsStore store;
    Settings settings(store);
    const std::string path = Narrow(deep) + "\\UPSZelto.ini";
    EXPECT_EQ(settings.FilePath(), path);
    EXPECT_FALSE(store.Exists(path));
    EXPECT_EQ(settings.ReadSetting("UPS", "COMPort", "0"), "0");

    settings.WriteSetting("UPS", "COMPort", "0");
    EXPECT_EQ(store.ReadFile(path), "[UPS]\r\nCOMPort=0\r\n");
    settings.WriteSetting("UPS", "CompOff", "3");
    settings.WriteSetting("UPS", "COMPort", "-1");
    EXPECT_EQ(store.ReadFile(path), "[UPS]\r\nCOMPort=-1\r\nCompOff=3\r\n");
    EXPECT_EQ(settings.ReadInt("CompOff", "0"), 3);
    // Nothing is left beside the file: the temporary file became the file.
    EXPECT_EQ(NamesIn(deep), std::vector<std::wstring>{L"UPSZelto.ini"});
}

TEST(SettingsFile, ARefusedWriteNamesTheFileAndLeavesNoTemporaryFile) {
    const TemporaryFolder folder;
    // A folder where the file should be: it can be neither read nor replaced.
    CreateDirectoryW((folder.Path() + L"\\UPSZelto.ini").c_str(), nullptr);
    const InFolder inside(folder.Path());
    Win32SettingsStore store;
    Settings settings(store);
    try {
        settings.WriteSetting("UPS", "COMPort", "0");
        ADD_FAILURE() << "the write went through";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Unable to write to " + Narrow(folder.Path()) + "\\UPSZelto.ini");
    }
    EXPECT_EQ(folder.Names(), std::vector<std::wstring>{L"UPSZelto.ini"});
    EXPECT_FALSE(store.ReplaceFile(Narrow(folder.Path()) + "\\UPSZelto.ini", "x"));
    EXPECT_EQ(folder.Names(), std::vector<std::wstring>{L"UPSZelto.ini"});
}

TEST(Power, TheRecorderWritesTheCallsAndRefusesWhenTold) {
    const TemporaryFolder folder;
    const std::wstring log = folder.Path() + L"\\power.log";
    RecordedPowerRequests accepting(log, std::nullopt);
    EXPECT_EQ(accepting.Request(PowerAction::Hibernate), std::nullopt);
    EXPECT_EQ(accepting.Request(PowerAction::PowerOff), std::nullopt);
    RecordedPowerRequests refusing(log, ERROR_ACCESS_DENIED);
    EXPECT_EQ(refusing.Request(PowerAction::Suspend), SystemMessage(ERROR_ACCESS_DENIED));
    Win32SettingsStore files;
    EXPECT_EQ(files.ReadFile(Narrow(log)),
              "SetSuspendState(TRUE, FALSE, FALSE)\r\n"
              "ExitWindowsEx(0x00000018, 0x8006000c) privilege=ok\r\n"
              "SetSuspendState(FALSE, FALSE, FALSE)\r\n");
}

// A file of `size` bytes of 'x'.
void WriteFileOfSize(const std::wstring& path, std::size_t size) {
    Win32SettingsStore files;
    ASSERT_TRUE(files.ReplaceFile(Narrow(path), std::string(size, 'x')));
}

TEST(JournalFile, RotatesNearOneMebibyteAndKeepsOneOldJournal) {
    const TemporaryFolder folder;
    const std::wstring where = folder.Path() + L"\\" + Widen("Журналы");
    CreateDirectoryW(where.c_str(), nullptr);
    const std::wstring path = where + L"\\UPSZelto.log";
    DiskJournalFile file(Narrow(path));
    std::vector<std::string> failures;
    Journal journal(file, [&](const std::string& text) { failures.push_back(text); });
    Win32SettingsStore files;

    EXPECT_EQ(file.Size(), 0u);
    // 1 MiB less 19 bytes: an 18-character line and its line end just fit, no line after it.
    WriteFileOfSize(path, 1048557);
    // An old journal from before is replaced by the rotation.
    ASSERT_TRUE(files.ReplaceFile(Narrow(path) + ".1", "older\n"));
    journal.Write("fits exactly here.");
    EXPECT_EQ(file.Size(), 1048576u);
    EXPECT_EQ(NamesIn(where), (std::vector<std::wstring>{L"UPSZelto.log", L"UPSZelto.log.1"}));
    EXPECT_EQ(files.ReadFile(Narrow(path) + ".1"), "older\n");

    journal.Write("2024-03-01T02:59:59+03:00 mains-lost");
    EXPECT_EQ(files.ReadFile(Narrow(path)), "2024-03-01T02:59:59+03:00 mains-lost\n");
    const std::string old = files.ReadFile(Narrow(path) + ".1").value_or("");
    ASSERT_EQ(old.size(), 1048576u);
    EXPECT_EQ(old.substr(old.size() - 20), "xfits exactly here.\n");
    journal.Write("2024-03-01T03:00:09+03:00 exit");
    EXPECT_EQ(files.ReadFile(Narrow(path)),
              "2024-03-01T02:59:59+03:00 mains-lost\n2024-03-01T03:00:09+03:00 exit\n");
    EXPECT_EQ(NamesIn(where), (std::vector<std::wstring>{L"UPSZelto.log", L"UPSZelto.log.1"}));
    EXPECT_TRUE(failures.empty());
    // The window shows the lines of this run, the one that went to the old journal too.
    EXPECT_EQ(JournalText(journal), Widen("fits exactly here.\r\n"
                                          "2024-03-01T02:59:59+03:00 mains-lost\r\n"
                                          "2024-03-01T03:00:09+03:00 exit"));
}

TEST(JournalFile, IsWrittenWhileOthersReadItAndMovedWhileNotOpen) {
    const TemporaryFolder folder;
    const std::wstring path = folder.Path() + L"\\UPSZelto.log";
    DiskJournalFile file(Narrow(path));
    ASSERT_TRUE(file.Append("start\n"));
    {
        // A viewer holding the journal open, as a text editor or "type" does.
        const KernelHandle reader(CreateFileW(path.c_str(), GENERIC_READ,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(reader);
        EXPECT_TRUE(file.Append("mains-lost\n"));
    }
    EXPECT_EQ(file.Size(), 17u);
    // No handle stays open between lines: the user may move the journal away.
    ASSERT_TRUE(MoveFileW(path.c_str(), (folder.Path() + L"\\kept.log").c_str()));
    EXPECT_TRUE(file.Append("exit\n"));
    Win32SettingsStore files;
    EXPECT_EQ(files.ReadFile(Narrow(path)), "exit\n");
    EXPECT_EQ(files.ReadFile(Narrow(folder.Path()) + "\\kept.log"), "start\nmains-lost\n");
}

TEST(JournalFile, AJournalThatCannotBeWrittenIsReportedOnce) {
    const TemporaryFolder folder;
    const std::string path = Narrow(folder.Path()) + "\\no such folder\\UPSZelto.log";
    DiskJournalFile file(path);
    std::vector<std::string> failures;
    Journal journal(file, [&](const std::string& text) { failures.push_back(text); });
    journal.Write("start");
    journal.Write("mains-lost");
    EXPECT_EQ(failures, std::vector<std::string>{"Unable to write to " + path});
    EXPECT_FALSE(file.Rotate());
    EXPECT_EQ(JournalText(journal), L"start\r\nmains-lost");
}

TEST(Clock, GivesTheSystemTimeWithTheZonesOffset) {
    SystemClock clock;
    const std::int64_t before = static_cast<std::int64_t>(std::time(nullptr));
    const Moment now = clock.Now();
    const std::int64_t after = static_cast<std::int64_t>(std::time(nullptr));
    EXPECT_GE(now.unixSeconds, before);
    EXPECT_LE(now.unixSeconds, after);
    // The zone's bias, in minutes west of UTC, with daylight saving when it is in effect.
    TIME_ZONE_INFORMATION zone{};
    const DWORD which = GetTimeZoneInformation(&zone);
    LONG bias = zone.Bias;
    if (which == TIME_ZONE_ID_DAYLIGHT) {
        bias += zone.DaylightBias;
    } else if (which == TIME_ZONE_ID_STANDARD) {
        bias += zone.StandardBias;
    }
    EXPECT_EQ(now.utcOffsetSeconds, -bias * 60);
}

TEST(OneInstance, TheFirstHoldsTheNameUntilItEnds) {
    const std::wstring name = L"Local\\UPSZelto.Test." + std::to_wstring(GetCurrentProcessId()) +
                              L"." + std::to_wstring(GetTickCount64());
    {
        const SingleInstance first(name.c_str());
        EXPECT_TRUE(first.First());
        const SingleInstance second(name.c_str());
        EXPECT_FALSE(second.First());
        const SingleInstance third(name.c_str());
        EXPECT_FALSE(third.First());
    }
    const SingleInstance later(name.c_str());
    EXPECT_TRUE(later.First());
    // Another name is another program.
    const SingleInstance other((name + L".other").c_str());
    EXPECT_TRUE(other.First());
}

TEST(OneInstance, NoWindowToShowEndsTheWaitInTime) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(ShowFirstInstance(L"UPSZeltoNoSuchWindowClass", 300));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(300));
    EXPECT_LT(waited, std::chrono::milliseconds(2000));
}

TEST(ErrorBoxes, TheFirstIsDueAndTheRestWaitInTheQueue) {
    MessageBoxReporter reporter;  // no window yet: nothing can show, the first box is due
    reporter.Report("Range check error");
    reporter.Report("Range check error");
    reporter.Report("Unable to write to C:\\UPSZelto.ini");
    EXPECT_EQ(reporter.Due(), std::optional<std::string>("Range check error"));
    EXPECT_EQ(reporter.Queue().Waiting(),
              std::deque<std::string>{"Unable to write to C:\\UPSZelto.ini"});
}

}  // namespace
}  // namespace zelto

namespace zelto {
namespace {

using NutClock = std::chrono::steady_clock;

// A client of the NUT server in the same thread: non-blocking, so that the thread's messages,
// the server's among them, are pumped while it waits for an answer.
class LoopbackClient {
public:
    explicit LoopbackClient(int port) : socket_(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)) {
        u_long nonBlocking = 1;
        ioctlsocket(socket_, FIONBIO, &nonBlocking);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<u_short>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connect(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    }
    ~LoopbackClient() { Close(); }
    LoopbackClient(const LoopbackClient&) = delete;
    LoopbackClient& operator=(const LoopbackClient&) = delete;

    void Close() {
        if (socket_ != INVALID_SOCKET) {
            closesocket(socket_);
            socket_ = INVALID_SOCKET;
        }
    }
    SOCKET Socket() const { return socket_; }

    // Sends `request` and collects what comes back until `lines` lines or 5 s have passed.
    std::string Ask(const std::string& request, int lines) {
        std::size_t sent = 0;
        std::string answer;
        const auto deadline = NutClock::now() + std::chrono::seconds(5);
        while (NutClock::now() < deadline) {
            if (sent < request.size()) {
                const int n = send(socket_, request.data() + sent,
                                   static_cast<int>(request.size() - sent), 0);
                if (n > 0) {
                    sent += static_cast<std::size_t>(n);
                }
            }
            char bytes[512];
            const int got = recv(socket_, bytes, sizeof bytes, 0);
            if (got > 0) {
                answer.append(bytes, static_cast<std::size_t>(got));
            }
            if (std::count(answer.begin(), answer.end(), '\n') >= lines) {
                break;
            }
            MSG message{};
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                DispatchMessageW(&message);
            }
            Sleep(5);
        }
        return answer;
    }

private:
    SOCKET socket_;
};

NutSettings WaitSettings(int fsdWaitSeconds) {
    NutSettings settings;
    settings.enabled = true;
    settings.listen = {"127.0.0.1"};
    settings.port = 0;
    settings.users = {NutUser{"mon", "secret"}};
    settings.fsdWaitSeconds = fsdWaitSeconds;
    return settings;
}

double SecondsSince(NutClock::time_point start) {
    return std::chrono::duration<double>(NutClock::now() - start).count();
}

// Serves the thread's messages, the server's among them, until the feed's wait for the
// secondaries is over; the seconds that took.
double SecondsOfTheWait(NutFeed& feed) {
    const auto start = NutClock::now();
    while (feed.StillShuttingDown() && SecondsSince(start) < 10) {
        MSG message{};
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&message);
        }
        Sleep(5);
    }
    return SecondsSince(start);
}

TEST(NutServerWait, EndsAtOnceWithoutLoginsWhenTheSecondaryLeavesOrWhenTimeIsUp) {
    NutFeed feed;
    NutServer server(WaitSettings(2), feed);
    ASSERT_TRUE(ListenOnEach(server, WaitSettings(2)).empty());
    ASSERT_GT(server.Port(), 0);

    // Nobody logged in: no wait at all, though a client is connected.
    LoopbackClient reader(server.Port());
    EXPECT_EQ(reader.Ask("HELP\n", 1).substr(0, 18), "Commands: HELP VER");
    feed.ShutdownCommitted();
    EXPECT_FALSE(feed.StillShuttingDown());

    // A secondary that stays: the wait runs its full 2 s, and the server goes on answering.
    LoopbackClient secondary(server.Port());
    ASSERT_EQ(secondary.Ask("USERNAME mon\nPASSWORD secret\nLOGIN zelto\n", 3), "OK\nOK\nOK\n");
    ASSERT_EQ(server.LoginCount(), 1);
    feed.ShutdownCommitted();
    const double full = SecondsOfTheWait(feed);
    EXPECT_GE(full, 1.9);
    EXPECT_LT(full, 3.0);
    EXPECT_EQ(reader.Ask("HELP\n", 1).substr(0, 18), "Commands: HELP VER");

    // The secondary leaves 300 ms into the wait: the wait ends soon after, not at its end.
    feed.ShutdownCommitted();
    std::thread leaving([&secondary] {
        Sleep(300);
        secondary.Close();
    });
    const double waited = SecondsOfTheWait(feed);
    leaving.join();
    EXPECT_GE(waited, 0.25);
    EXPECT_LT(waited, 1.0);
    EXPECT_EQ(server.LoginCount(), 0);
}

// A listening socket on loopback for the client to reach. The test's side of each connection is
// blocking, with a time-out, so that it reads and writes in plain calls. Not made when the system
// lacks the family (no IPv6).
class LoopbackListener {
public:
    explicit LoopbackListener(int family) : socket_(::socket(family, SOCK_STREAM, IPPROTO_TCP)) {
        sockaddr_storage address{};
        int length = sizeof(sockaddr_in);
        if (family == AF_INET6) {
            auto& v6 = reinterpret_cast<sockaddr_in6&>(address);
            v6.sin6_family = AF_INET6;
            v6.sin6_addr.s6_addr[15] = 1;
            length = sizeof v6;
        } else {
            auto& v4 = reinterpret_cast<sockaddr_in&>(address);
            v4.sin_family = AF_INET;
            v4.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        }
        if (socket_ &&
            (bind(socket_.get(), reinterpret_cast<const sockaddr*>(&address), length) != 0 ||
             listen(socket_.get(), 4) != 0)) {
            socket_.reset();
        }
    }
    bool Made() const { return static_cast<bool>(socket_); }
    int Port() const {
        sockaddr_storage address{};
        int length = sizeof address;
        getsockname(socket_.get(), reinterpret_cast<sockaddr*>(&address), &length);
        return ntohs(address.ss_family == AF_INET6
                         ? reinterpret_cast<const sockaddr_in6&>(address).sin6_port
                         : reinterpret_cast<const sockaddr_in&>(address).sin_port);
    }
    // The next connection, waited for at most 5 s.
    SocketHandle Accept() {
        fd_set waiting;
        FD_ZERO(&waiting);
        FD_SET(socket_.get(), &waiting);
        timeval limit{5, 0};
        if (select(0, &waiting, nullptr, nullptr, &limit) != 1) {
            return SocketHandle();
        }
        SocketHandle peer(accept(socket_.get(), nullptr, nullptr));
        const DWORD timeoutMs = 5000;
        setsockopt(peer.get(), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeoutMs),
                   sizeof timeoutMs);
        return peer;
    }

private:
    SocketHandle socket_;
};

// `count` bytes the client sent, or what came of them within the time-out.
std::string PeerReads(const SocketHandle& peer, std::size_t count) {
    std::string got;
    char bytes[256];
    while (got.size() < count) {
        const int n = recv(peer.get(), bytes, sizeof bytes, 0);
        if (n <= 0) {
            break;
        }
        got.append(bytes, static_cast<std::size_t>(n));
    }
    return got;
}

// Ticks, 10 ms apart, until `done` or 5 s have passed; whether it was done. Every tick of the
// program is a check that returns at once, as these are.
template <class Done>
bool Within(Done done) {
    const auto start = NutClock::now();
    while (SecondsSince(start) < 5) {
        if (done()) {
            return true;
        }
        Sleep(10);
    }
    return done();
}

TEST(NutClientSocket, ConnectsWithoutWaitingTalksAndSeesEachEnd) {
    using State = NutClientSocket::State;
    // First: Winsock is up from here on, for the test's own sockets too.
    WinsockNutClientSocket client;
    EXPECT_EQ(client.Current(), State::Closed);
    EXPECT_EQ(client.Receive(64), "");

    struct Case {
        const char* host;
        int family;
    };
    // A name may have addresses the listener is not on (::1 for "localhost"): the next is tried.
    const Case cases[] = {{"127.0.0.1", AF_INET}, {"::1", AF_INET6}, {"localhost", AF_INET}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.host);
        LoopbackListener listener(c.family);
        if (!listener.Made()) {
            // Only a system without IPv6 may lack a loopback listener.
            ASSERT_EQ(c.family, AF_INET6) << WSAGetLastError();
            continue;
        }
        const auto start = NutClock::now();
        client.Connect(c.host, listener.Port());
        EXPECT_LT(SecondsSince(start), 0.5);
        // Connecting for some ticks (on loopback perhaps none), never closed on the way.
        std::vector<State> seen{client.Current()};
        ASSERT_TRUE(Within([&] {
            if (seen.back() == State::Connecting) {
                seen.push_back(client.Current());
            }
            return seen.back() != State::Connecting;
        }));
        ASSERT_EQ(seen.back(), State::Connected);

        const SocketHandle peer = listener.Accept();
        ASSERT_TRUE(peer);
        client.Send("USERNAME mon\n");
        client.Send("LIST UPS\n");
        EXPECT_EQ(PeerReads(peer, 22), "USERNAME mon\nLIST UPS\n");

        const std::string answer = "BEGIN LIST UPS\nUPS ups \"x\"\nEND LIST UPS\n";
        ASSERT_EQ(send(peer.get(), answer.data(), static_cast<int>(answer.size()), 0),
                  static_cast<int>(answer.size()));
        // At most the limit a call; the rest comes with the next ones.
        std::string got;
        std::size_t longest = 0;
        EXPECT_TRUE(Within([&] {
            const std::string part = client.Receive(8);
            longest = std::max(longest, part.size());
            got += part;
            return got.size() >= answer.size();
        }));
        EXPECT_EQ(got, answer);
        EXPECT_EQ(longest, 8u);
        EXPECT_EQ(client.Receive(64), "");
        EXPECT_EQ(client.Current(), State::Connected);
    }

    // The server ends the connection: what it sent last is still read, then it reads as closed.
    {
        LoopbackListener listener(AF_INET);
        client.Connect("127.0.0.1", listener.Port());
        ASSERT_TRUE(Within([&] { return client.Current() == State::Connected; }));
        SocketHandle peer = listener.Accept();
        ASSERT_TRUE(peer);
        ASSERT_EQ(send(peer.get(), "OK Goodbye\n", 11, 0), 11);
        peer.reset();
        std::string got;
        EXPECT_TRUE(Within([&] {
            got += client.Receive(64);
            return client.Current() == State::Closed;
        }));
        EXPECT_EQ(got, "OK Goodbye\n");
        EXPECT_EQ(client.Receive(64), "");
    }

    // A server that reads nothing: each send returns at once, and the connection is given up
    // once what waits for it passes the bound.
    {
        LoopbackListener listener(AF_INET);
        client.Connect("127.0.0.1", listener.Port());
        ASSERT_TRUE(Within([&] { return client.Current() == State::Connected; }));
        const SocketHandle peer = listener.Accept();
        ASSERT_TRUE(peer);
        const std::string block(4096, 'x');
        const auto start = NutClock::now();
        for (int sends = 0; sends < 64 * 1024 && client.Current() == State::Connected; ++sends) {
            client.Send(block);
        }
        EXPECT_EQ(client.Current(), State::Closed);
        EXPECT_LT(SecondsSince(start), 3.0);
    }

    // Nobody listens on the port: the attempt ends closed (Windows itself tries a refused
    // loopback connection again for about two seconds).
    {
        int port = 0;
        {
            const LoopbackListener gone(AF_INET);
            ASSERT_TRUE(gone.Made());
            port = gone.Port();
        }
        const auto start = NutClock::now();
        client.Connect("127.0.0.1", port);
        EXPECT_LT(SecondsSince(start), 0.5);
        EXPECT_TRUE(Within([&] { return client.Current() == State::Closed; }));
    }
}

}  // namespace
}  // namespace zelto
