#include "win32/controls.h"

#include <string>

#include "win32/ui_style.h"
#include "win32/utf.h"

namespace zelto {
namespace {

// Static controls break lines at "\r\n".
std::wstring WithWindowsLineBreaks(std::string_view text) {
    const std::wstring wide = Widen(text);
    std::wstring result;
    result.reserve(wide.size() + 4);
    wchar_t previous = 0;
    for (const wchar_t c : wide) {
        if (c == L'\n' && previous != L'\r') {
            result += L'\r';
        }
        result += c;
        previous = c;
    }
    return result;
}

}  // namespace

HWND CreateControl(HWND parent, const wchar_t* className, std::string_view text, DWORD style,
                   const DesignRect& at, int id, const UiStyle& ui, bool bold) {
    const HWND control = CreateWindowExW(
        0, className, WithWindowsLineBreaks(text).c_str(), WS_CHILD | WS_VISIBLE | style,
        ui.Scale(at.left), ui.Scale(at.top), ui.Scale(at.width), ui.Scale(at.height), parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (control != nullptr) {
        SetControlFont(control, bold ? ui.BoldFont() : ui.Font());
    }
    return control;
}

void SetControlText(HWND control, std::string_view text) {
    SetWindowTextW(control, WithWindowsLineBreaks(text).c_str());
}

}  // namespace zelto
