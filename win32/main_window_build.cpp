// TForm1's controls, made from the main window's layout table: one control per row, in the
// table's order (a parent before its children), at the row's position scaled to the screen.
#include "win32/windows_api.h"

#include <commctrl.h>

#include <string_view>

#include "core/program/main_window_layout.h"
#include "win32/bevel_panel.h"
#include "win32/controls.h"
#include "win32/images.h"
#include "win32/main_window.h"
#include "win32/ui_style.h"
#include "win32/utf.h"

namespace zelto {
namespace {

constexpr int kFirstControlId = 100;
// How far a drop-down list opens below its field.
constexpr int kDroppedListHeight = 200;
// The rule is an etched line two pixels high, along the bottom of its row's box.
constexpr int kRuleThickness = 2;

DWORD TextStyle(const ControlRow& row) {
    const bool twoLines = std::string_view(row.text).find('\n') != std::string_view::npos;
    return SS_NOPREFIX | (twoLines ? SS_LEFT : SS_LEFTNOWORDWRAP);
}

}  // namespace

void TForm1::BuildControls() {
    const HWND self = Handle();
    int nextId = kFirstControlId;
    for (const ControlRow& row : MainWindowLayout(language_)) {
        const HWND parent = row.parent == nullptr ? self : Control(row.parent);
        const DesignRect at{row.geometry.left, row.geometry.top, row.geometry.width,
                            row.geometry.height};
        const std::string_view name(row.name);
        // Escape presses Button3: it has the cancel id.
        const int id = name == "Button3" ? IDCANCEL : nextId;
        ++nextId;
        HWND control = nullptr;
        switch (row.kind) {
            case ControlKind::Panel:
            case ControlKind::Frame: {
                const bool frame = row.kind == ControlKind::Frame;
                const RECT pixels{ui_.Scale(at.left), ui_.Scale(at.top),
                                  ui_.Scale(at.left + at.width), ui_.Scale(at.top + at.height)};
                control = CreateBevelPanel(
                    parent, pixels, frame ? BevelStyle::Lowered : BevelStyle::RaisedInLowered,
                    frame ? whiteBrush_.get() : panelBrush_.get(), id);
                break;
            }
            case ControlKind::Text:
            case ControlKind::Memo:
                control = CreateControl(parent, L"STATIC", row.text, TextStyle(row), at, id, ui_);
                break;
            case ControlKind::Value:
                control =
                    CreateControl(parent, L"STATIC", row.text, TextStyle(row), at, id, ui_, true);
                values_.push_back(control);
                break;
            case ControlKind::Picture:
                // SS_NOTIFY: the beeper picture answers clicks and shows its hint.
                control = CreateControl(parent, L"STATIC", "", SS_ICON | SS_CENTERIMAGE | SS_NOTIFY,
                                        at, id, ui_);
                break;
            case ControlKind::Bar:
                control = CreateControl(parent, PROGRESS_CLASSW, "", PBS_SMOOTH, at, id, ui_);
                SendMessageW(control, PBM_SETRANGE32, 0, 100);
                break;
            case ControlKind::List: {
                // The port list draws its own entries, in the link's colour.
                const DWORD ownerDraw =
                    name == "ComboBox4" ? (CBS_OWNERDRAWFIXED | CBS_HASSTRINGS) : 0;
                DesignRect dropped = at;
                dropped.height += kDroppedListHeight;
                control = CreateControl(parent, L"COMBOBOX", "",
                                        CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP | ownerDraw,
                                        dropped, id, ui_);
                break;
            }
            case ControlKind::Rule: {
                const DesignRect line{at.left, at.top + at.height - kRuleThickness, at.width,
                                      kRuleThickness};
                control = CreateControl(parent, L"STATIC", "", SS_ETCHEDHORZ, line, id, ui_);
                // An etched static widens itself by its edge; the rule keeps the design's width.
                SetWindowPos(control, nullptr, 0, 0, ui_.Scale(line.width), ui_.Scale(line.height),
                             SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
                break;
            }
            case ControlKind::Button:
                control = CreateControl(parent, L"BUTTON", row.text, BS_PUSHBUTTON | WS_TABSTOP, at,
                                        id, ui_, name == "Button3");
                break;
        }
        controls_[row.name] = control;
    }

    const char* const readingNames[] = {"Label1", "Label2", "Label3", "Label4",
                                        "Label5", "Label6", "Label7"};
    for (std::size_t i = 0; i < readings_.size(); ++i) {
        readings_[i] = Control(readingNames[i]);
    }
    Label20 = Control("Label20");
    Label21 = Control("Label21");
    Label22 = Control("Label22");
    Image4 = Control("Image4");
    Image5 = Control("Image5");
    ProgressBar1 = Control("ProgressBar1");
    ComboBox1 = Control("ComboBox1");
    ComboBox2 = Control("ComboBox2");
    ComboBox3 = Control("ComboBox3");
    ComboBox4 = Control("ComboBox4");
    Button1 = Control("Button1");
    Button3 = Control("Button3");

    auto setIcon = [](HWND picture, HICON icon) {
        SendMessageW(picture, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
    };
    setIcon(Control("Image1"), images_.Computer());
    setIcon(Control("Image2"), images_.Plug());
    setIcon(Control("Image3"), images_.Ups());
    setIcon(Control("Image6"), images_.App32());
    setIcon(Image4, images_.List32(0));

    for (const PolicyList list : {PolicyList::Trigger, PolicyList::Method, PolicyList::UpsDelay}) {
        const HWND combo = PolicyCombo(list);
        const int count = PolicySettingFor(list).count;
        for (int index = 0; index < count; ++index) {
            SendMessageW(
                combo, CB_ADDSTRING, 0,
                reinterpret_cast<LPARAM>(Widen(PolicyItem(language_, list, index)).c_str()));
        }
        SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    }
    // The owner-drawn port list as tall as the others: its entries, then its field.
    const LRESULT entryHeight = SendMessageW(ComboBox1, CB_GETITEMHEIGHT, 0, 0);
    if (entryHeight > 0) {
        SendMessageW(ComboBox4, CB_SETITEMHEIGHT, 0, entryHeight);
    }
    RECT designed{};
    RECT drawn{};
    GetWindowRect(ComboBox1, &designed);
    GetWindowRect(ComboBox4, &drawn);
    const LONG excess = (drawn.bottom - drawn.top) - (designed.bottom - designed.top);
    const LRESULT fieldHeight =
        SendMessageW(ComboBox4, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
    if (excess != 0 && fieldHeight > excess) {
        SendMessageW(ComboBox4, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), fieldHeight - excess);
    }

    // The beeper picture's hint.
    tooltip_.reset(CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                   WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, self, nullptr,
                                   GetModuleHandleW(nullptr), nullptr));
    if (tooltip_) {
        const std::wstring hint = Widen(std::string(Text(language_, TextId::BeeperHint)));
        TOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = GetParent(Image5);
        tool.uId = reinterpret_cast<UINT_PTR>(Image5);
        tool.lpszText = const_cast<wchar_t*>(hint.c_str());
        SendMessageW(tooltip_.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

}  // namespace zelto
