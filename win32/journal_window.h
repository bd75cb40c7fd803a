#pragma once
// The journal window, opened from the tray menu's "Журнал": the latest journal lines of this run,
// oldest first, followed as new ones arrive while it shows. Closing it only hides it.

#include "win32/windows_api.h"

#include <string>

#include "core/base/texts.h"
#include "core/events/event.h"
#include "win32/window_base.h"

namespace zelto {

class Journal;
class UiStyle;

inline constexpr int kJournalWidth = 560;
inline constexpr int kJournalHeight = 320;

// The lines as the window shows them: CRLF between them, none after the last.
std::wstring JournalText(const Journal& journal);

class TJournalForm : public WindowBase, public EventSink {
public:
    TJournalForm(const UiStyle& ui, const Journal& journal, Language language);

    // Shows the window with the lines as they are now and brings it to the front.
    void ShowJournal();

    // EventSink: the journal has its line by now; shown at once when the window is open.
    void OnEvent(const Event& event) override;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void Refresh();

    const Journal& journal_;
    HWND Memo1 = nullptr;
};

}  // namespace zelto
