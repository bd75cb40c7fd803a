#include "win32/main_window.h"

#include <commctrl.h>

#include <algorithm>

#include "core/base/product.h"
#include "core/program/main_window_layout.h"
#include "core/program/program.h"
#include "core/program/tray_presence.h"
#include "win32/about_box.h"
#include "win32/controls.h"
#include "win32/images.h"
#include "win32/message_box_reporter.h"
#include "win32/network_ups_dialog.h"
#include "win32/single_instance.h"
#include "win32/ui_style.h"
#include "win32/utf.h"

namespace zelto {
namespace {

constexpr UINT_PTR kTimer1 = 1;
constexpr UINT kPollMs = 1000;
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_CONTROLPARENT;
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlack = RGB(0, 0, 0);

// The panel's background: the highlight colour, lightened so that the red and black texts on it
// stay easy to read.
COLORREF PanelColour() {
    const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    auto mix = [](int a) { return (a + 3 * 255) / 4; };
    return RGB(mix(GetRValue(highlight)), mix(GetGValue(highlight)), mix(GetBValue(highlight)));
}

}  // namespace

TForm1::TForm1(const UiStyle& ui, const Images& images, Language language)
    : ui_(ui),
      images_(images),
      language_(language),
      taskbarCreated_(RegisterWindowMessageW(L"TaskbarCreated")),
      showMainWindow_(ShowMainWindowMessage()),
      panelBrush_(CreateSolidBrush(PanelColour())),
      whiteBrush_(CreateSolidBrush(RGB(255, 255, 255))),
      panelColour_(PanelColour()) {
    const SIZE frame =
        FrameSizeFor(ui.Scale(kMainWindowWidth), ui.Scale(kMainWindowHeight), kStyle, kExStyle);
    if (!Create(L"TForm1", kExStyle, kStyle, Widen(kDesignCaption).c_str(), CW_USEDEFAULT,
                CW_USEDEFAULT, frame.cx, frame.cy, nullptr)) {
        return;
    }
    BuildControls();
    CentreOnScreen(Handle());
}

TForm1::~TForm1() {
    if (Handle() != nullptr) {
        KillTimer(Handle(), kTimer1);
    }
}

void TForm1::Attach(UserActions& actions, ProgramState& state, TAboutBox& about,
                    MessageBoxReporter& errors, TrayIcon::ShellNotify trayNotify) {
    actions_ = &actions;
    state_ = &state;
    about_ = &about;
    errors_ = &errors;
    tray_ = std::make_unique<TrayIcon>(Handle(), state, images_, std::move(trayNotify));
    errors.SetWindow(Handle());
}

void TForm1::FormCreate() {
    actions_->FormCreate();
    SetTimer(Handle(), kTimer1, kPollMs, nullptr);
}

HWND TForm1::Control(const std::string& name) const {
    const auto found = controls_.find(name);
    return found == controls_.end() ? nullptr : found->second;
}

bool& TForm1::WindowHidden() {
    return state_ != nullptr ? state_->WindowHidden : detachedHidden_;
}

// MainView

HWND TForm1::PolicyCombo(PolicyList list) const {
    const HWND combos[] = {ComboBox1, ComboBox2, ComboBox3};
    return combos[PolicyListPlace(list)];
}

void TForm1::SetPolicyIndex(PolicyList list, int index) {
    // CB_SETCURSEL clears the selection for an index outside the list; no change handler runs.
    SendMessageW(PolicyCombo(list), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void TForm1::SetPortList(const std::vector<std::string>& names) {
    SendMessageW(ComboBox4, CB_RESETCONTENT, 0, 0);
    for (const auto& name : names) {
        SendMessageW(ComboBox4, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(name).c_str()));
    }
    SendMessageW(ComboBox4, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
}

void TForm1::SetPortIndex(int index) {
    SendMessageW(ComboBox4, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void TForm1::SetCaption(const std::string& caption) {
    SetWindowTextW(Handle(), Widen(caption).c_str());
}

void TForm1::AddTrayIcon() {
    if (tray_) {
        tray_->SetTrayIcon(TrayAdd, images_.App16());
        KeepReachable();
    }
}

void TForm1::SetUpsOffEnabled(bool enabled) {
    EnableWindow(ComboBox3, enabled ? TRUE : FALSE);
}

void TForm1::OpenNetworkUpsDialog(const NetworkUpsForm& form) {
    if (!networkUps_) {
        networkUps_ = std::make_unique<NetworkUpsDialog>(Handle(), ui_, *actions_, language_);
    }
    networkUps_->Open(form);
}

void TForm1::ShowNetworkUpsCheck(const std::string& text) {
    if (networkUps_) {
        networkUps_->ShowCheck(text);
    }
}

HWND TForm1::NetworkUpsDialogHandle() const {
    return networkUps_ ? networkUps_->Handle() : nullptr;
}

void TForm1::KeepReachable() {
    if (!tray_->Present() && !trayMissingTold_ && hooks_.trayMissing) {
        trayMissingTold_ = true;
        hooks_.trayMissing();
    }
    if (MustShowWindow(tray_->Present(), WindowHidden())) {
        // Not brought to the front: at log-on the user may be typing elsewhere.
        WindowHidden() = false;
        ShowWindow(Handle(), SW_SHOWNOACTIVATE);
    }
}

// Display

void TForm1::ShowLinkState(bool ok) {
    linkOk_ = ok;
    InvalidateRect(ComboBox4, nullptr, TRUE);
}

void TForm1::ShowReading(Reading which, const std::string& text) {
    SetControlText(readings_[static_cast<std::size_t>(which)], text);
}

void TForm1::ShowLoadBar(int percent) {
    SendMessageW(ProgressBar1, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
}

void TForm1::ShowBeeperPicture(int picture) {
    SendMessageW(Image5, STM_SETICON, reinterpret_cast<WPARAM>(images_.List32(picture)), 0);
}

void TForm1::ShowBatteryPicture(int picture) {
    SendMessageW(Image4, STM_SETICON, reinterpret_cast<WPARAM>(images_.List32(picture)), 0);
}

void TForm1::ShowCharge(const std::string& text) {
    SetControlText(Label20, text);
}

void TForm1::ShowClockVisible(bool visible) {
    ShowWindow(Label21, visible ? SW_SHOWNA : SW_HIDE);
    ShowWindow(Label22, visible ? SW_SHOWNA : SW_HIDE);
}

void TForm1::ShowClock(const std::string& text) {
    SetControlText(Label22, text);
}

void TForm1::ShowTray(int picture, const std::string& /*tip*/) {
    // Only a change comes here: the core keeps what the tray shows.
    trayPicture_ = picture;
    if (tray_) {
        // The tip goes with it from TrayTip, which the program set to `tip` just before.
        tray_->SetTrayIcon(TrayModify,
                           picture == kPictureProgram ? images_.App16() : images_.List16(picture));
    }
}

// The user's actions

void TForm1::ExitAppExecute() {
    if (tray_) {
        tray_->SetTrayIcon(TrayDelete, images_.App16());
    }
    // A countdown showing now ends as "program ending": no power action follows.
    actions_->CountdownAnswered(CountdownProgramEnding);
    PostQuitMessage(0);
}

void TForm1::ShowHideExecute() {
    if (!WindowHidden()) {
        HideToTray();
        return;
    }
    BringToFront();
}

void TForm1::BringToFront() {
    WindowHidden() = false;
    ShowWindow(Handle(), SW_SHOWNORMAL);
    // The window the user last worked in goes to the front: a dialog open over the main window,
    // when there is one, so that the focus lands where input is accepted.
    HWND front = GetLastActivePopup(Handle());
    if (front == nullptr || !IsWindowVisible(front) || !IsWindowEnabled(front)) {
        front = Handle();
    }
    SetForegroundWindow(front);
}

void TForm1::HideToTray() {
    if (CloseActionFor(tray_ && tray_->Present()) == CloseAction::Minimise) {
        // No icon to bring it back from.
        ShowWindow(Handle(), SW_MINIMIZE);
        return;
    }
    WindowHidden() = true;
    ShowWindow(Handle(), SW_HIDE);
}

void TForm1::Command(HWND control, int id, int code) {
    // Enter sends IDOK: it presses the button that has the focus.
    if (id == IDOK) {
        control = GetFocus();
        code = BN_CLICKED;
        if (control != Button1 && control != Button3) {
            return;
        }
    }
    auto selected = [control] {
        return static_cast<int>(SendMessageW(control, CB_GETCURSEL, 0, 0));
    };
    if (code == CBN_SELCHANGE) {
        if (control == ComboBox1) {
            actions_->PolicyChanged(PolicyList::Trigger, selected());
        } else if (control == ComboBox2) {
            actions_->PolicyChanged(PolicyList::Method, selected());
        } else if (control == ComboBox3) {
            actions_->PolicyChanged(PolicyList::UpsDelay, selected());
        } else if (control == ComboBox4) {
            actions_->ComboBox4Change(selected());
        }
    } else if (code == CBN_DROPDOWN && control == ComboBox4) {
        // The user is opening the port list: it follows the devices plugged in now.
        actions_->RefreshPortList();
    } else if (code == STN_CLICKED && control == Image5) {
        actions_->Image5Click();
    } else if (code == BN_CLICKED && control == Button1) {
        if (about_ != nullptr) {
            about_->ShowModal();
        }
    } else if (code == BN_CLICKED && (control == Button3 || id == IDCANCEL)) {
        ExitAppExecute();
    }
}

bool TForm1::DrawPortItem(const DRAWITEMSTRUCT& item) {
    const HDC dc = item.hDC;
    RECT area = item.rcItem;
    const bool inField = (item.itemState & ODS_COMBOBOXEDIT) != 0;
    const bool highlighted = !inField && (item.itemState & ODS_SELECTED) != 0;
    FillRect(dc, &area, GetSysColorBrush(highlighted ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    if (item.itemID != static_cast<UINT>(-1)) {
        const LRESULT length = SendMessageW(item.hwndItem, CB_GETLBTEXTLEN, item.itemID, 0);
        if (length > 0) {
            std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
            SendMessageW(item.hwndItem, CB_GETLBTEXT, item.itemID,
                         reinterpret_cast<LPARAM>(text.data()));
            text.resize(static_cast<std::size_t>(length));
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(
                dc, highlighted ? GetSysColor(COLOR_HIGHLIGHTTEXT) : (linkOk_ ? kBlack : kRed));
            RECT textArea = area;
            textArea.left += ui_.Scale(2);
            DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textArea,
                      DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
        }
    }
    if (inField && (item.itemState & ODS_FOCUS) != 0) {
        DrawFocusRect(dc, &area);
    }
    return true;
}

LRESULT TForm1::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == taskbarCreated_ && taskbarCreated_ != 0) {
        // Explorer restarted: without this the program would stay without an icon, with no
        // way to show its window.
        if (tray_) {
            tray_->TaskbarCreated();
        }
        return 0;
    }
    if (message == showMainWindow_ && showMainWindow_ != 0) {
        BringToFront();
        return kShowMainWindowAnswer;
    }
    switch (message) {
        case WM_TIMER:
            if (wParam == kTimer1) {
                actions_->Timer1Timer();
                tray_->Tick();
                KeepReachable();
            }
            return 0;
        case kTrayMessage:
            if (tray_) {
                const UINT command = tray_->HandleTrayMessage(lParam);
                if (command == TrayIcon::N3) {
                    ShowHideExecute();
                } else if (command == TrayIcon::N1) {
                    ExitAppExecute();
                } else if (command == TrayIcon::N4 && hooks_.openJournal) {
                    hooks_.openJournal();
                }
            }
            return 0;
        case MessageBoxReporter::kClosedMessage:
            if (errors_ != nullptr) {
                errors_->BoxClosed();
            }
            return 0;
        case WM_COMMAND:
            Command(reinterpret_cast<HWND>(lParam), LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_CTLCOLORSTATIC: {
            const auto control = reinterpret_cast<HWND>(lParam);
            if (GetParent(control) == Handle()) {
                break;
            }
            const auto dc = reinterpret_cast<HDC>(wParam);
            const bool value = std::find(values_.begin(), values_.end(), control) != values_.end();
            SetTextColor(dc, value ? kRed : GetSysColor(COLOR_WINDOWTEXT));
            SetBkColor(dc, panelColour_);
            SetBkMode(dc, TRANSPARENT);
            return reinterpret_cast<LRESULT>(panelBrush_.get());
        }
        case WM_MEASUREITEM: {
            auto& item = *reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
            if (tray_ && tray_->MeasureItem(item)) {
                return TRUE;
            }
            if (item.CtlType == ODT_COMBOBOX) {
                // Set to the other lists' heights once all are made.
                item.itemHeight = static_cast<UINT>(ui_.Scale(15));
                return TRUE;
            }
            break;
        }
        case WM_DRAWITEM: {
            const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (tray_ && tray_->DrawItem(item)) {
                return TRUE;
            }
            if (item.hwndItem == ComboBox4 && ComboBox4 != nullptr) {
                return DrawPortItem(item);
            }
            break;
        }
        case WM_SETCURSOR:
            if (reinterpret_cast<HWND>(wParam) == Image5 && Image5 != nullptr) {
                SetCursor(LoadCursorW(nullptr, IDC_HAND));
                return TRUE;
            }
            break;
        case WM_SYSCOMMAND:
            // The title-bar close and Alt+F4 only hide the window: the program keeps running in
            // the tray.
            if ((wParam & 0xFFF0) == SC_CLOSE) {
                HideToTray();
                return 0;
            }
            break;
        case WM_CLOSE:
            HideToTray();
            return 0;
        case WM_QUERYENDSESSION:
            // The session may end: the power-off the program requests needs exactly that.
            return TRUE;
        case WM_ENDSESSION:
            // The system ends the process once this returns: no destructor runs after it.
            if (wParam != FALSE && hooks_.sessionEnding) {
                hooks_.sessionEnding();
            }
            return 0;
        default:
            break;
    }
    return DefaultMessage(message, wParam, lParam);
}

}  // namespace zelto
