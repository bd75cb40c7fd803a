#include "win32/network_ups_dialog.h"

#include "win32/controls.h"
#include "win32/ui_style.h"
#include "win32/utf.h"

namespace zelto {
namespace {

constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

// The design, in 96-DPI pixels of the client area.
constexpr int kWidth = 300;
constexpr int kHeight = 195;
constexpr int kMargin = 10;
constexpr int kFieldLeft = 110;
constexpr int kFieldHeight = 20;
constexpr int kRowPitch = 26;
constexpr int kStatusTop = 4 * kRowPitch + 12;
constexpr int kButtonTop = 160;
constexpr int kButtonHeight = 25;

constexpr int kFirstFieldId = 100;
constexpr int kStatusId = 104;
constexpr int kCheckId = 105;
// Enter presses OK, Escape "Отмена": they have the ids the dialog keys send.
constexpr int kOkId = IDOK;
constexpr int kCancelId = IDCANCEL;
// Far beyond any host, name or password, and still a bound on what is handed to the program.
constexpr WPARAM kFieldLimit = 255;

std::string FieldText(HWND field) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(field)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(field, text.data(), static_cast<int>(text.size()))));
    return Narrow(text);
}

}  // namespace

NetworkUpsDialog::NetworkUpsDialog(HWND owner, const UiStyle& ui, UserActions& actions,
                                   Language language)
    : actions_(actions) {
    const auto text = [language](TextId id) { return std::string(Text(language, id)); };
    const SIZE frame = FrameSizeFor(ui.Scale(kWidth), ui.Scale(kHeight), kStyle, kExStyle);
    Create(L"TNetworkUpsForm", kExStyle, kStyle, Widen(text(TextId::NetworkUpsCaption)).c_str(),
           CW_USEDEFAULT, CW_USEDEFAULT, frame.cx, frame.cy, owner);
    const HWND self = Handle();
    if (self == nullptr) {
        return;
    }
    const std::string labels[] = {text(TextId::ServerAddress), text(TextId::UpsName),
                                  text(TextId::User), text(TextId::Password)};
    HWND* const fields[] = {&host_, &ups_, &user_, &password_};
    for (int row = 0; row < 4; ++row) {
        const int top = kMargin + row * kRowPitch;
        // The label sits level with the text of its field.
        CreateControl(self, L"STATIC", labels[row], SS_LEFTNOWORDWRAP | SS_NOPREFIX,
                      DesignRect{kMargin, top + 3, kFieldLeft - kMargin - 4, 14}, -1, ui);
        const DWORD hidden = row == 3 ? ES_PASSWORD : 0;
        *fields[row] =
            CreateControl(self, L"EDIT", "", ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP | hidden,
                          DesignRect{kFieldLeft, top, kWidth - kMargin - kFieldLeft, kFieldHeight},
                          kFirstFieldId + row, ui);
        SendMessageW(*fields[row], EM_SETLIMITTEXT, kFieldLimit, 0);
    }
    // Two lines: a verdict can name the server and what it said.
    status_ =
        CreateControl(self, L"STATIC", "", SS_LEFT | SS_NOPREFIX,
                      DesignRect{kMargin, kStatusTop, kWidth - 2 * kMargin, 30}, kStatusId, ui);
    CreateControl(self, L"BUTTON", text(TextId::Check), BS_PUSHBUTTON | WS_TABSTOP,
                  DesignRect{kMargin, kButtonTop, 85, kButtonHeight}, kCheckId, ui);
    CreateControl(self, L"BUTTON", "OK", BS_DEFPUSHBUTTON | WS_TABSTOP,
                  DesignRect{kWidth - kMargin - 165, kButtonTop, 80, kButtonHeight}, kOkId, ui);
    CreateControl(self, L"BUTTON", text(TextId::Cancel), BS_PUSHBUTTON | WS_TABSTOP,
                  DesignRect{kWidth - kMargin - 80, kButtonTop, 80, kButtonHeight}, kCancelId, ui);
}

void NetworkUpsDialog::Open(const NetworkUpsForm& form) {
    const HWND self = Handle();
    if (self == nullptr) {
        return;
    }
    SetControlText(host_, form.host);
    SetControlText(ups_, form.ups);
    SetControlText(user_, form.user);
    SetControlText(password_, form.password);
    SetControlText(status_, "");
    if (!showing_) {
        showing_ = true;
        CentreOnScreen(self);
        ShowWindow(self, SW_SHOW);
    }
    SetForegroundWindow(self);
    lastFocused_ = host_;
    SetFocus(host_);
    SendMessageW(host_, EM_SETSEL, 0, -1);
}

void NetworkUpsDialog::ShowCheck(const std::string& text) {
    SetControlText(status_, text);
}

NetworkUpsForm NetworkUpsDialog::Fields() const {
    return NetworkUpsForm{FieldText(host_), FieldText(ups_), FieldText(user_),
                          FieldText(password_)};
}

void NetworkUpsDialog::Hide() {
    if (!showing_) {
        return;
    }
    showing_ = false;
    // Nothing typed stays behind in a hidden window, the password least of all.
    SetControlText(password_, "");
    ShowWindow(Handle(), SW_HIDE);
}

LRESULT NetworkUpsDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (HIWORD(wParam) != BN_CLICKED || !showing_) {
                return 0;
            }
            switch (LOWORD(wParam)) {
                case kCheckId:
                    actions_.CheckNetworkUps(Fields());
                    break;
                case kOkId:
                    if (actions_.NetworkUpsChosen(Fields())) {
                        Hide();
                    }
                    break;
                case kCancelId:
                    Hide();
                    break;
                default:
                    break;
            }
            return 0;
        case WM_ACTIVATE:
            // Back from another window, typing goes on where it was, not into the frame.
            if (LOWORD(wParam) == WA_INACTIVE) {
                const HWND focused = GetFocus();
                if (focused != nullptr && GetParent(focused) == Handle()) {
                    lastFocused_ = focused;
                }
            } else if (showing_) {
                SetFocus(lastFocused_ != nullptr ? lastFocused_ : host_);
                return 0;
            }
            break;
        case WM_CLOSE:
            Hide();
            return 0;
        default:
            break;
    }
    return DefaultMessage(message, wParam, lParam);
}

}  // namespace zelto
