// Program entry: one program per session, the common controls, the program with its power
// requests, then the message loop until Exit. A second start only shows the first one's window. The
// test build (ZELTO_POWER_RECORDER) records its power requests in a file instead of making them,
// and can meet a tray that refuses the icon at first; the program proper has no way to do either.
#include "win32/windows_api.h"

#include <commctrl.h>

#include "win32/single_instance.h"
#include "win32/zelto_application.h"

#ifdef ZELTO_POWER_RECORDER
#include <cwchar>
#include <optional>

#include "win32/recorded_power_requests.h"
#else
#include "win32/windows_power_requests.h"
#endif

namespace {

#ifdef ZELTO_POWER_RECORDER
// The recorder's log: ZELTO_POWER_LOG, or power-requests.log in the current directory.
// ZELTO_POWER_REFUSE=N makes every request refused with system error N.
std::wstring Environment(const wchar_t* name) {
    wchar_t value[1024];
    const DWORD length = GetEnvironmentVariableW(name, value, 1024);
    return length > 0 && length < 1024 ? std::wstring(value, length) : std::wstring();
}

zelto::RecordedPowerRequests MakePowerRequests() {
    std::wstring log = Environment(L"ZELTO_POWER_LOG");
    if (log.empty()) {
        log = L"power-requests.log";
    }
    std::optional<DWORD> refusal;
    const std::wstring refuse = Environment(L"ZELTO_POWER_REFUSE");
    if (!refuse.empty()) {
        refusal = static_cast<DWORD>(std::wcstoul(refuse.c_str(), nullptr, 10));
    }
    return zelto::RecordedPowerRequests(log, refusal);
}

// ZELTO_TRAY_REFUSE_ADDS=N makes the tray refuse the icon's first N adds, as a taskbar that is
// not ready at log-on does.
zelto::TrayIcon::ShellNotify MakeTrayNotify() {
    const std::wstring refuse = Environment(L"ZELTO_TRAY_REFUSE_ADDS");
    unsigned long refusals = refuse.empty() ? 0 : std::wcstoul(refuse.c_str(), nullptr, 10);
    return [refusals](DWORD action, NOTIFYICONDATAW* data) mutable -> BOOL {
        if (action == NIM_ADD && refusals > 0) {
            --refusals;
            return FALSE;
        }
        return Shell_NotifyIconW(action, data);
    };
}
#else
zelto::WindowsPowerRequests MakePowerRequests() {
    return {};
}

zelto::TrayIcon::ShellNotify MakeTrayNotify() {
    return &Shell_NotifyIconW;
}
#endif

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // Before the port and the settings: a second copy must touch neither.
    const zelto::SingleInstance instance;
    if (!instance.First()) {
        zelto::ShowFirstInstance(L"TForm1", 5000);
        return 0;
    }
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES;
    InitCommonControlsEx(&controls);

    auto power = MakePowerRequests();
    zelto::ZeltoApplication application(power, MakeTrayNotify());
    application.Start();
    return application.Run();
}
