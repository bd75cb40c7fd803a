#pragma once
// What start-up and the list handlers ask of the main window.

#include <string>
#include <vector>

#include "core/monitor/policy.h"
#include "core/program/network_ups.h"

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
    // ComboBox3 usable or greyed: a UPS another machine serves is never commanded from here.
    virtual void SetUpsOffEnabled(bool enabled) = 0;
    // Opens the "Сетевой UPS…" dialog with these fields; it reports its buttons through
    // UserActions::CheckNetworkUps and NetworkUpsChosen and closes when a choice is taken.
    virtual void OpenNetworkUpsDialog(const NetworkUpsForm& form) = 0;
    // The dialog's line under its fields: what "Проверить" found, or why the fields were refused.
    virtual void ShowNetworkUpsCheck(const std::string& text) = 0;
};

}  // namespace zelto
