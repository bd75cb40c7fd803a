#include "win32/tray_icon.h"

#include <shellapi.h>

#include <iterator>
#include <utility>

#include "core/base/program_state.h"
#include "core/monitor/tray_tip_limit.h"
#include "core/program/tray_menu.h"
#include "win32/images.h"
#include "win32/utf.h"

namespace zelto {
namespace {

constexpr UINT kIconId = 1;
constexpr int kMenuPictureSize = 16;

UINT CommandId(TrayCommand command) {
    switch (command) {
        case TrayCommand::ShowHide:
            return TrayIcon::N3;
        case TrayCommand::Journal:
            return TrayIcon::N4;
        case TrayCommand::Exit:
            return TrayIcon::N1;
        case TrayCommand::Separator:
            break;
    }
    return 0;
}

// The picture of the menu entry with the command `id`; kPictureProgram for none.
int MenuPicture(UINT id) {
    for (const TrayMenuEntry& entry : kTrayMenu) {
        if (entry.command != TrayCommand::Separator && CommandId(entry.command) == id) {
            return entry.picture;
        }
    }
    return kPictureProgram;
}

void AppendEntry(HMENU menu, Language language, const TrayMenuEntry& entry) {
    if (!entry.text) {
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        return;
    }
    std::wstring text = Widen(std::string(Text(language, *entry.text)));
    MENUITEMINFOW item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_ID | MIIM_STRING;
    item.wID = CommandId(entry.command);
    item.dwTypeData = text.data();
    if (entry.picture != kPictureProgram) {
        // The picture is drawn on WM_DRAWITEM: an icon keeps its transparency that way.
        item.fMask |= MIIM_BITMAP;
        item.hbmpItem = HBMMENU_CALLBACK;
    }
    InsertMenuItemW(menu, GetMenuItemCount(menu), TRUE, &item);
    if (entry.isDefault) {
        SetMenuDefaultItem(menu, item.wID, FALSE);
    }
}

}  // namespace

TrayIcon::TrayIcon(HWND owner, const ProgramState& state, const Images& images, ShellNotify notify)
    : owner_(owner),
      state_(state),
      images_(images),
      notify_(std::move(notify)),
      popupMenu1_(CreatePopupMenu()) {
    for (const TrayMenuEntry& entry : kTrayMenu) {
        AppendEntry(popupMenu1_.get(), state.language, entry);
    }
}

TrayIcon::~TrayIcon() {
    if (present_) {
        Notify(NIM_DELETE);
    }
}

bool TrayIcon::Notify(DWORD action) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = owner_;
    data.uID = kIconId;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = kTrayMessage;
    data.hIcon = icon_;
    const std::wstring tip = Widen(LimitTrayTip(state_.TrayTip));
    lstrcpynW(data.szTip, tip.c_str(), static_cast<int>(std::size(data.szTip)));
    return notify_(action, &data) != FALSE;
}

bool TrayIcon::ShowBalloon(const std::string& title, const std::string& text) {
    if (!present_) {
        return false;
    }
    // The whole structure, whatever the icon's own requests use: the balloon's fields lie
    // beyond the tip.
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = owner_;
    data.uID = kIconId;
    data.uFlags = NIF_INFO;
    data.dwInfoFlags = NIIF_WARNING;
    const std::wstring wideTitle = Widen(title);
    const std::wstring wideText = Widen(text);
    lstrcpynW(data.szInfoTitle, wideTitle.c_str(), static_cast<int>(std::size(data.szInfoTitle)));
    lstrcpynW(data.szInfo, wideText.c_str(), static_cast<int>(std::size(data.szInfo)));
    return notify_(NIM_MODIFY, &data) != FALSE;
}

void TrayIcon::SetTrayIcon(int action, HICON icon) {
    switch (action) {
        case TrayAdd:
            // Adding an icon that is already there fails in the tray and leaves it as it is.
            if (!wanted_) {
                wanted_ = true;
                icon_ = icon;
                ticksAbsent_ = 0;
                present_ = Notify(NIM_ADD);
            }
            break;
        case TrayDelete:
            if (present_) {
                Notify(NIM_DELETE);
            }
            wanted_ = false;
            present_ = false;
            break;
        case TrayModify:
            // After delete it stays gone; while the tray refuses it, the next add carries it.
            if (wanted_) {
                icon_ = icon;
                if (present_) {
                    Notify(NIM_MODIFY);
                }
            }
            break;
        default:
            break;
    }
}

void TrayIcon::TaskbarCreated() {
    if (wanted_) {
        ticksAbsent_ = 0;
        present_ = Notify(NIM_ADD);
    }
}

void TrayIcon::Tick() {
    if (!wanted_ || present_) {
        ticksAbsent_ = 0;
        return;
    }
    if (++ticksAbsent_ >= kRetryTicks) {
        ticksAbsent_ = 0;
        present_ = Notify(NIM_ADD);
    }
}

UINT TrayIcon::HandleTrayMessage(LPARAM mouseEvent) {
    switch (LOWORD(mouseEvent)) {
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK:
            return N3;
        case WM_RBUTTONUP:
            return ShowPopupMenu1();
        default:
            return 0;
    }
}

UINT TrayIcon::ShowPopupMenu1() {
    POINT cursor{};
    GetCursorPos(&cursor);
    // The menu closes when the user clicks elsewhere only if its owner is the foreground window;
    // the posted message afterwards lets the menu close properly the next time.
    SetForegroundWindow(owner_);
    const UINT command = static_cast<UINT>(
        TrackPopupMenu(popupMenu1_.get(), TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY, cursor.x,
                       cursor.y, 0, owner_, nullptr));
    PostMessageW(owner_, WM_NULL, 0, 0);
    return command;
}

bool TrayIcon::MeasureItem(MEASUREITEMSTRUCT& item) const {
    if (item.CtlType != ODT_MENU || MenuPicture(item.itemID) == kPictureProgram) {
        return false;
    }
    item.itemWidth = kMenuPictureSize;
    item.itemHeight = kMenuPictureSize;
    return true;
}

bool TrayIcon::DrawItem(const DRAWITEMSTRUCT& item) const {
    const int index = MenuPicture(item.itemID);
    if (item.CtlType != ODT_MENU || index == kPictureProgram) {
        return false;
    }
    const HICON picture = images_.List16(index);
    const int top = item.rcItem.top + (item.rcItem.bottom - item.rcItem.top - kMenuPictureSize) / 2;
    DrawIconEx(item.hDC, item.rcItem.left, top, picture, kMenuPictureSize, kMenuPictureSize, 0,
               nullptr, DI_NORMAL);
    return true;
}

}  // namespace zelto
