// winprobe.exe: looks at and drives the program's windows from outside, the way a user or an
// accessibility tool would, for the tests under Wine. It finds the windows by their class name and
// reaches them only through messages any other program may send.
//
//   winprobe tree CLASS            the top-level window and every control in it, one a line,
//                                  a greyed control's ending in "enabled=0"
//   winprobe box [ok]              the text of the open error box; with "ok", presses its OK
//   winprobe red CLASS ID          how many red pixels the control shows on the screen
//   winprobe select CLASS ID N     picks entry N of a drop-down list, as the user does
//   winprobe click CLASS ID        clicks a button or a picture
//   winprobe send CLASS MSG W L    sends a message to the window; prints the result
//   winprobe show CLASS            brings the window to the screen (as the tray click does)
//   winprobe tray-gone CLASS       takes the window's tray icon (id 1) out of the tray, as a
//                                  restarting shell loses it
//   winprobe taskbar-created CLASS tells the window the taskbar was made anew, as a restarted
//                                  shell tells every window
//   winprobe menu                  the open popup menu's screen rectangle: x y width height
//   winprobe menu-pick N           picks entry N (from 1, separators not counted) of the open
//                                  popup menu with the keyboard, as the user does
//   winprobe text CLASS ID         the control's whole text, its lines as they are
//   winprobe balloon               whether a balloon tooltip shows on the screen; its text
//   winprobe tip                   whether a plain tooltip (the tray icon's tip, say) shows; its
//                                  text
//   winprobe shot CLASS FILE       saves what the screen shows of the window as a bitmap file
//
// CLASS is a window class (TForm1, TForm2, TAboutBox) and ID a control id. Exit status 0 when the
// window was found and the action done, 1 otherwise.
#include <windows.h>

#include <commctrl.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void Print(const std::wstring& text) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(),
                        length, nullptr, nullptr);
    bytes += '\n';
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

// Line breaks shown as "\n", so that every control is one line.
std::wstring OneLine(std::wstring text) {
    std::wstring result;
    for (const wchar_t c : text) {
        if (c == L'\r') {
            continue;
        }
        result += c == L'\n' ? std::wstring(L"\\n") : std::wstring(1, c);
    }
    return result;
}

std::wstring Text(HWND window) {
    wchar_t buffer[1024] = L"";
    SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer), SMTO_BLOCK,
                        5000, nullptr);
    return buffer;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = L"";
    GetClassNameW(window, name, 256);
    return name;
}

std::wstring Items(HWND combo) {
    const LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    std::wstring items;
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t item[256] = L"";
        if (SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0) < 256) {
            SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i),
                         reinterpret_cast<LPARAM>(item));
        }
        items += (i > 0 ? L"|" : L"") + std::wstring(item);
    }
    return items;
}

HWND FindTop(const wchar_t* className) {
    return FindWindowW(className, nullptr);
}

HWND FindControl(HWND top, int id) {
    struct Search {
        int id;
        HWND found;
    } search{id, nullptr};
    EnumChildWindows(
        top,
        [](HWND child, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            if (GetDlgCtrlID(child) == s->id) {
                s->found = child;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

int Tree(HWND top) {
    RECT client{};
    GetClientRect(top, &client);
    RECT frame{};
    GetWindowRect(top, &frame);
    const LONG style = GetWindowLongW(top, GWL_STYLE);
    wchar_t line[512];
    std::swprintf(line, 512,
                  L"window class=%ls caption=%ls client=%ldx%ld frame=%ld,%ld,%ld,%ld "
                  L"visible=%d enabled=%d minimize=%d maximize=%d sizable=%d",
                  ClassOf(top).c_str(), Text(top).c_str(), client.right, client.bottom, frame.left,
                  frame.top, frame.right - frame.left, frame.bottom - frame.top,
                  IsWindowVisible(top) ? 1 : 0, IsWindowEnabled(top) ? 1 : 0,
                  (style & WS_MINIMIZEBOX) ? 1 : 0, (style & WS_MAXIMIZEBOX) ? 1 : 0,
                  (style & WS_THICKFRAME) ? 1 : 0);
    Print(line);
    EnumChildWindows(
        top,
        [](HWND child, LPARAM) -> BOOL {
            const HWND parent = GetParent(child);
            RECT at{};
            GetWindowRect(child, &at);
            MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&at), 2);
            const std::wstring kind = ClassOf(child);
            std::wstring extra;
            if (_wcsicmp(kind.c_str(), L"ComboBox") == 0) {
                RECT field{};
                GetClientRect(child, &field);
                extra = L" items=" + Items(child) + L" selected=" +
                        std::to_wstring(SendMessageW(child, CB_GETCURSEL, 0, 0));
                // The field, not the dropped list.
                at.bottom = at.top + field.bottom;
            }
            if (_wcsicmp(kind.c_str(), L"msctls_progress32") == 0) {
                extra = L" position=" + std::to_wstring(SendMessageW(child, PBM_GETPOS, 0, 0));
            }
            if (_wcsicmp(kind.c_str(), L"Static") == 0 &&
                (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
                extra = L" icon=" +
                        std::to_wstring(SendMessageW(child, STM_GETICON, 0, 0) != 0 ? 1 : 0);
            }
            // Last, and only when greyed: the lines of the controls that take input stay as they
            // were, which the tests match to their ends.
            if (!IsWindowEnabled(child)) {
                extra += L" enabled=0";
            }
            wchar_t line[1024];
            std::swprintf(
                line, 1024,
                L"control id=%d parent=%d class=%ls rect=%ld,%ld,%ld,%ld "
                L"visible=%d text=%ls%ls",
                GetDlgCtrlID(child), GetParent(parent) != nullptr ? GetDlgCtrlID(parent) : 0,
                kind.c_str(), at.left, at.top, at.right - at.left, at.bottom - at.top,
                IsWindowVisible(child) ? 1 : 0, OneLine(Text(child)).c_str(), extra.c_str());
            Print(line);
            return TRUE;
        },
        0);
    return 0;
}

int Box(bool pressOk) {
    const HWND box = FindWindowW(L"#32770", L"UPS Zelto");
    if (box == nullptr) {
        return 1;
    }
    wchar_t text[1024] = L"";
    GetDlgItemTextW(box, 0xFFFF, text, 1024);
    Print(OneLine(text));
    if (pressOk) {
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
    return 0;
}

// The pixels of a screen rectangle, top row first, as 32-bit BGRX.
std::vector<unsigned char> ScreenPixels(const RECT& at) {
    const int width = at.right - at.left;
    const int height = at.bottom - at.top;
    std::vector<unsigned char> pixels(static_cast<std::size_t>(width) * height * 4);
    const HDC screen = GetDC(nullptr);
    const HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, at.left, at.top, SRCCOPY);
    GdiFlush();
    std::copy_n(static_cast<const unsigned char*>(bits), pixels.size(), pixels.begin());
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

// Red pixels of the control as the screen shows it: red well above green and blue, which also
// counts the lighter edges of smoothed red text and no shade of grey.
int Red(HWND control) {
    RECT at{};
    GetWindowRect(control, &at);
    const auto pixels = ScreenPixels(at);
    int count = 0;
    for (std::size_t i = 0; i + 3 < pixels.size(); i += 4) {
        const int red = pixels[i + 2];
        if (red - std::max<int>(pixels[i + 1], pixels[i]) > 100) {
            ++count;
        }
    }
    std::printf("%d\n", count);
    return 0;
}

// The window as the screen shows it, in a 32-bit bitmap file.
int Shot(HWND window, const std::wstring& path) {
    RECT at{};
    GetWindowRect(window, &at);
    const auto pixels = ScreenPixels(at);
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = at.right - at.left;
    header.biHeight = -(at.bottom - at.top);
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    FILE* out = _wfopen(path.c_str(), L"wb");
    if (out == nullptr) {
        return 1;
    }
    std::fwrite(&file, sizeof file, 1, out);
    std::fwrite(&header, sizeof header, 1, out);
    std::fwrite(pixels.data(), 1, pixels.size(), out);
    std::fclose(out);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    const std::vector<std::wstring> args(argv + 1, argv + argc);
    const auto argument = [&](std::size_t i) { return i < args.size() ? args[i] : std::wstring(); };
    const std::wstring command = argument(0);
    if (command == L"box") {
        return Box(argument(1) == L"ok");
    }
    if (command == L"menu-pick") {
        const HWND menu = FindWindowW(L"#32768", nullptr);
        if (menu == nullptr || !IsWindowVisible(menu)) {
            return 1;
        }
        // The menu opens with nothing selected: the first Down selects the first entry.
        const long entry = std::wcstol(argument(1).c_str(), nullptr, 10);
        for (long i = 0; i < entry; ++i) {
            PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
        }
        PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
        return 0;
    }
    if (command == L"balloon" || command == L"tip") {
        struct Looked {
            bool balloon;
            HWND found = nullptr;
        } looked{command == L"balloon"};
        EnumWindows(
            [](HWND window, LPARAM data) -> BOOL {
                auto& look = *reinterpret_cast<Looked*>(data);
                const bool balloon = (GetWindowLongW(window, GWL_STYLE) & TTS_BALLOON) != 0;
                if (IsWindowVisible(window) &&
                    _wcsicmp(ClassOf(window).c_str(), L"tooltips_class32") == 0 &&
                    balloon == look.balloon) {
                    look.found = window;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&looked));
        if (looked.found == nullptr) {
            return 1;
        }
        Print(OneLine(Text(looked.found)));
        return 0;
    }
    if (command == L"menu") {
        const HWND menu = FindWindowW(L"#32768", nullptr);
        RECT at{};
        if (menu == nullptr || !IsWindowVisible(menu) || !GetWindowRect(menu, &at)) {
            return 1;
        }
        std::printf("%ld %ld %ld %ld\n", at.left, at.top, at.right - at.left, at.bottom - at.top);
        return 0;
    }
    const HWND top = FindTop(argument(1).c_str());
    if (top == nullptr) {
        return 1;
    }
    if (command == L"tree") {
        return Tree(top);
    }
    if (command == L"shot") {
        return Shot(top, argument(2));
    }
    if (command == L"tray-gone") {
        NOTIFYICONDATAW icon{};
        icon.cbSize = sizeof icon;
        icon.hWnd = top;
        icon.uID = 1;
        return Shell_NotifyIconW(NIM_DELETE, &icon) ? 0 : 1;
    }
    if (command == L"taskbar-created") {
        SendMessageW(top, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
        return 0;
    }
    if (command == L"show") {
        ShowWindow(top, SW_SHOWNORMAL);
        return 0;
    }
    if (command == L"send") {
        const LRESULT result =
            SendMessageW(top, static_cast<UINT>(std::wcstoul(argument(2).c_str(), nullptr, 0)),
                         static_cast<WPARAM>(std::wcstoull(argument(3).c_str(), nullptr, 0)),
                         static_cast<LPARAM>(std::wcstoll(argument(4).c_str(), nullptr, 0)));
        std::printf("%lld\n", static_cast<long long>(result));
        return 0;
    }
    const HWND control = FindControl(top, std::wcstol(argument(2).c_str(), nullptr, 0));
    if (control == nullptr) {
        return 1;
    }
    if (command == L"text") {
        const LRESULT length = SendMessageW(control, WM_GETTEXTLENGTH, 0, 0);
        std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
        SendMessageW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
        text.resize(static_cast<std::size_t>(length));
        std::wstring lines;
        for (const wchar_t c : text) {
            if (c != L'\r') {
                lines += c;
            }
        }
        Print(lines);
        return 0;
    }
    if (command == L"red") {
        return Red(control);
    }
    if (command == L"select") {
        const int index = std::wcstol(argument(3).c_str(), nullptr, 0);
        SendMessageW(control, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        SendMessageW(GetParent(control), WM_COMMAND,
                     MAKEWPARAM(GetDlgCtrlID(control), CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(control));
        return 0;
    }
    if (command == L"click") {
        if (_wcsicmp(ClassOf(control).c_str(), L"Button") == 0) {
            PostMessageW(control, BM_CLICK, 0, 0);
        } else {
            PostMessageW(GetParent(control), WM_COMMAND,
                         MAKEWPARAM(GetDlgCtrlID(control), STN_CLICKED),
                         reinterpret_cast<LPARAM>(control));
        }
        return 0;
    }
    return 1;
}
