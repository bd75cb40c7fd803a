#include "win32/journal_window.h"

#include "core/events/journal.h"
#include "win32/controls.h"
#include "win32/ui_style.h"
#include "win32/utf.h"

namespace zelto {
namespace {

constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_APPWINDOW;
constexpr int kMemoId = 100;

}  // namespace

std::wstring JournalText(const Journal& journal) {
    return Widen(journal.RecentText("\r\n"));
}

TJournalForm::TJournalForm(const UiStyle& ui, const Journal& journal, Language language)
    : journal_(journal) {
    const SIZE frame =
        FrameSizeFor(ui.Scale(kJournalWidth), ui.Scale(kJournalHeight), kStyle, kExStyle);
    // No owner: the window has a taskbar button of its own while the main window hides.
    const std::wstring caption = Widen(std::string(Text(language, TextId::JournalCaption)));
    if (!Create(L"TJournalForm", kExStyle, kStyle, caption.c_str(), CW_USEDEFAULT, CW_USEDEFAULT,
                frame.cx, frame.cy, nullptr)) {
        return;
    }
    Memo1 = CreateControl(Handle(), L"EDIT", "",
                          ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_AUTOHSCROLL |
                              WS_VSCROLL | WS_HSCROLL | WS_TABSTOP,
                          {0, 0, kJournalWidth, kJournalHeight}, kMemoId, ui);
    CentreOnScreen(Handle());
}

void TJournalForm::ShowJournal() {
    if (Handle() == nullptr) {
        return;
    }
    Refresh();
    ShowWindow(Handle(), IsIconic(Handle()) ? SW_RESTORE : SW_SHOWNORMAL);
    SetForegroundWindow(Handle());
}

void TJournalForm::OnEvent(const Event& /*event*/) {
    if (Handle() != nullptr && IsWindowVisible(Handle())) {
        Refresh();
    }
}

void TJournalForm::Refresh() {
    SetWindowTextW(Memo1, JournalText(journal_).c_str());
    // The newest line in view, at the bottom.
    const auto end = static_cast<WPARAM>(GetWindowTextLengthW(Memo1));
    SendMessageW(Memo1, EM_SETSEL, end, static_cast<LPARAM>(end));
    SendMessageW(Memo1, EM_SCROLLCARET, 0, 0);
}

LRESULT TJournalForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SIZE:
            MoveWindow(Memo1, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
            return 0;
        case WM_CTLCOLORSTATIC:
            // Read-only, the memo would take the button face: the journal reads as a document.
            if (reinterpret_cast<HWND>(lParam) == Memo1) {
                SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOW));
                return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
            }
            break;
        case WM_CLOSE:
            ShowWindow(Handle(), SW_HIDE);
            return 0;
        default:
            break;
    }
    return DefaultMessage(message, wParam, lParam);
}

}  // namespace zelto
