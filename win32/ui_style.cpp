#include "win32/ui_style.h"

namespace zelto {
namespace {

// The windows were designed in "MS Sans Serif" 8 pt. Where that face has no Cyrillic letters
// (every Windows but a Russian one), "Microsoft Sans Serif" is its twin that has them; without
// either (Wine on a Linux desktop), a condensed DejaVu at 7.5 pt keeps every text within the
// positions of the design.
struct FontChoice {
    const wchar_t* face;
    int tenthsOfPoint;
};
constexpr FontChoice kFontChoices[] = {
    {L"MS Sans Serif", 80},
    {L"Microsoft Sans Serif", 80},
    {L"DejaVu Sans Condensed", 75},
};

bool HasCyrillicFace(HDC dc, const wchar_t* face) {
    LOGFONTW wanted{};
    wanted.lfCharSet = RUSSIAN_CHARSET;
    lstrcpynW(wanted.lfFaceName, face, LF_FACESIZE);
    bool found = false;
    EnumFontFamiliesExW(
        dc, &wanted,
        [](const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM data) -> int {
            *reinterpret_cast<bool*>(data) = true;
            return 0;
        },
        reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

FontChoice ChooseFont() {
    const HDC screen = GetDC(nullptr);
    FontChoice chosen{L"MS Shell Dlg", 80};
    if (screen != nullptr) {
        for (const FontChoice& choice : kFontChoices) {
            if (HasCyrillicFace(screen, choice.face)) {
                chosen = choice;
                break;
            }
        }
        ReleaseDC(nullptr, screen);
    }
    return chosen;
}

FontHandle MakeFont(int dpi, int weight) {
    static const FontChoice choice = ChooseFont();
    LOGFONTW font{};
    font.lfHeight = -MulDiv(choice.tenthsOfPoint, dpi, 720);
    font.lfWeight = weight;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = DEFAULT_QUALITY;
    lstrcpynW(font.lfFaceName, choice.face, LF_FACESIZE);
    return FontHandle(CreateFontIndirectW(&font));
}

int ScreenDpi() {
    const HDC screen = GetDC(nullptr);
    const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen != nullptr) {
        ReleaseDC(nullptr, screen);
    }
    return dpi > 0 ? dpi : 96;
}

}  // namespace

UiStyle::UiStyle()
    : dpi_(ScreenDpi()), font_(MakeFont(dpi_, FW_NORMAL)), boldFont_(MakeFont(dpi_, FW_BOLD)) {}

SIZE FrameSizeFor(int width, int height, DWORD style, DWORD exStyle) {
    RECT frame{0, 0, width, height};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    return SIZE{frame.right - frame.left, frame.bottom - frame.top};
}

void CentreOnScreen(HWND window) {
    RECT work{};
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) {
        work = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    }
    RECT frame{};
    GetWindowRect(window, &frame);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const int x = work.left + (work.right - work.left - width) / 2;
    const int y = work.top + (work.bottom - work.top - height) / 2;
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void SetControlFont(HWND control, HFONT font) {
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

}  // namespace zelto
