#include "win32/about_box.h"

#include "core/base/product.h"
#include "core/program/dialog_layouts.h"
#include "win32/bevel_panel.h"
#include "win32/controls.h"
#include "win32/images.h"
#include "win32/ui_style.h"
#include "win32/utf.h"

namespace zelto {
namespace {

constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
constexpr int kPanelId = 100;
constexpr int kMemoId = 101;
// OK closes the box: the default button, with the id Enter sends.
constexpr int kOkId = IDOK;

}  // namespace

// The memory figure is the one the window was designed with. It is yet to be measured on Windows
// itself: under Wine the emulator's own libraries count as the program's memory (about 6 MB of
// private memory there), which says nothing about the program.
constexpr const char* kMemoryFigure = "1";

TAboutBox::TAboutBox(HWND owner, const UiStyle& ui, const Images& images, Language language)
    : owner_(owner), memoBrush_(CreateSolidBrush(GetSysColor(COLOR_BTNFACE))) {
    const SIZE frame =
        FrameSizeFor(ui.Scale(kAboutWidth), ui.Scale(kAboutHeight), kStyle, kExStyle);
    Create(L"TAboutBox", kExStyle, kStyle, Widen(kAboutCaption).c_str(), CW_USEDEFAULT,
           CW_USEDEFAULT, frame.cx, frame.cy, owner);
    const HWND self = Handle();
    if (self == nullptr) {
        return;
    }
    const auto& layout = AboutLayout();
    const auto row = [&layout](const char* name) -> const ControlRow& {
        return LayoutRow(layout, name);
    };
    const Rect panel = row("Panel1").geometry;
    const HWND panel1 = CreateBevelPanel(
        self,
        RECT{ui.Scale(panel.left), ui.Scale(panel.top), ui.Scale(panel.left + panel.width),
             ui.Scale(panel.top + panel.height)},
        BevelStyle::RaisedInLowered, GetSysColorBrush(COLOR_BTNFACE), kPanelId);
    const HWND programIcon = CreateControl(panel1, L"STATIC", "", SS_ICON | SS_REALSIZECONTROL,
                                           row("ProgramIcon").geometry, 102, ui);
    SendMessageW(programIcon, STM_SETICON, reinterpret_cast<WPARAM>(images.App32()), 0);
    int id = 103;
    for (const char* label : {"ProductName", "Comments", "Label23", "Label24"}) {
        CreateControl(panel1, L"STATIC", row(label).text, SS_LEFTNOWORDWRAP | SS_NOPREFIX,
                      row(label).geometry, id++, ui);
    }
    std::string note;
    for (const auto& line : AboutNoteLines(language, kMemoryFigure)) {
        note += (note.empty() ? "" : "\n") + line;
    }
    Memo1 = CreateControl(
        panel1, L"EDIT", note,
        ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL | WS_TABSTOP | WS_BORDER,
        row("Memo1").geometry, kMemoId, ui);
    OKButton = CreateControl(self, L"BUTTON", row("OKButton").text, BS_DEFPUSHBUTTON | WS_TABSTOP,
                             row("OKButton").geometry, kOkId, ui);
}

void TAboutBox::ShowModal() {
    const HWND self = Handle();
    if (self == nullptr || showing_) {
        return;
    }
    showing_ = true;
    focusMemo_ = true;
    CentreOnScreen(self);
    SendMessageW(Memo1, EM_SETSEL, 0, 0);
    if (owner_ != nullptr) {
        EnableWindow(owner_, FALSE);
    }
    ShowWindow(self, SW_SHOW);
    SetForegroundWindow(self);
}

void TAboutBox::Close() {
    if (!showing_) {
        return;
    }
    showing_ = false;
    // The owner first, so that the activation goes back to it rather than to another program.
    if (owner_ != nullptr) {
        EnableWindow(owner_, TRUE);
    }
    ShowWindow(Handle(), SW_HIDE);
}

LRESULT TAboutBox::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            // A click on OK gives it the focus; Enter sends IDOK wherever the focus is, and
            // closes the box only from OK itself. Escape (IDCANCEL) does nothing.
            if (id == kOkId && GetFocus() == OKButton) {
                Close();
            }
            return 0;
        }
        case WM_CTLCOLORSTATIC:
            // Memo1 is read-only, so it asks as a static: the button face behind its text.
            if (reinterpret_cast<HWND>(lParam) == Memo1) {
                SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_BTNFACE));
                return reinterpret_cast<LRESULT>(memoBrush_.get());
            }
            break;
        case WM_ACTIVATE:
            if (LOWORD(wParam) != WA_INACTIVE && focusMemo_) {
                // Memo1 is first in the tab order and has the focus when the box opens.
                focusMemo_ = false;
                SetFocus(Memo1);
                return 0;
            }
            break;
        case WM_CLOSE:
            Close();
            return 0;
        default:
            break;
    }
    return DefaultMessage(message, wParam, lParam);
}

}  // namespace zelto
