#include "win32/bevel_panel.h"

namespace zelto {
namespace {

constexpr wchar_t kPanelClass[] = L"TPanel";
constexpr wchar_t kBrushProperty[] = L"ZeltoPanelBrush";
constexpr wchar_t kStyleProperty[] = L"ZeltoPanelStyle";

LRESULT CALLBACK PanelProcedure(HWND panel, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
        case WM_NOTIFY:
        case WM_DRAWITEM:
        case WM_MEASUREITEM:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
            return SendMessageW(GetAncestor(panel, GA_ROOT), message, wParam, lParam);
        case WM_ERASEBKGND: {
            RECT area{};
            GetClientRect(panel, &area);
            FillRect(reinterpret_cast<HDC>(wParam), &area,
                     static_cast<HBRUSH>(GetPropW(panel, kBrushProperty)));
            return TRUE;
        }
        case WM_PAINT: {
            PAINTSTRUCT paint{};
            const HDC dc = BeginPaint(panel, &paint);
            RECT area{};
            GetClientRect(panel, &area);
            const bool raisedInner = GetPropW(panel, kStyleProperty) != nullptr;
            DrawEdge(dc, &area, raisedInner ? (BDR_SUNKENOUTER | BDR_RAISEDINNER) : BDR_SUNKENOUTER,
                     BF_RECT);
            EndPaint(panel, &paint);
            return 0;
        }
        case WM_CLOSE:
            // A multi-line edit control asks its parent to close on Escape; a panel is never
            // closed.
            return 0;
        case WM_NCDESTROY:
            RemovePropW(panel, kBrushProperty);
            RemovePropW(panel, kStyleProperty);
            break;
        default:
            break;
    }
    return DefWindowProcW(panel, message, wParam, lParam);
}

void RegisterPanelClass(HINSTANCE instance) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    if (GetClassInfoExW(instance, kPanelClass, &windowClass)) {
        return;
    }
    windowClass = WNDCLASSEXW{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = PanelProcedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kPanelClass;
    RegisterClassExW(&windowClass);
}

}  // namespace

HWND CreateBevelPanel(HWND parent, const RECT& at, BevelStyle style, HBRUSH background, int id) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    RegisterPanelClass(instance);
    const HWND panel = CreateWindowExW(
        WS_EX_CONTROLPARENT, kPanelClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, at.left,
        at.top, at.right - at.left, at.bottom - at.top, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    if (panel != nullptr) {
        SetPropW(panel, kBrushProperty, background);
        if (style == BevelStyle::RaisedInLowered) {
            SetPropW(panel, kStyleProperty, reinterpret_cast<HANDLE>(1));
        }
    }
    return panel;
}

}  // namespace zelto
