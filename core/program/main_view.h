#pragma once
// What start-up and the list handlers ask of the main window.

#include <string>
#include <vector>

#include "core/monitor/policy.h"

namespace zelto {

class MainView {
public:
    virtual ~MainView() = default;
    // Selects an entry without running the list's change handler; -1 clears the selection.
    virtual void SetPolicyIndex(PolicyList list, int index) = 0;
    // Replaces the port list (names as shown, already sorted) and selects an entry (-1: none)
    // without running the change handler.
    virtual void SetPortList(const std::vector<std::string>& names) = 0;
    virtual void SetPortIndex(int index) = 0;
    virtual void SetCaption(const std::string& caption) = 0;
    // Puts the application icon into the tray with an empty tip.
    virtual void AddTrayIcon() = 0;
};

}  // namespace zelto
