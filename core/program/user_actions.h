#pragma once
// What a person does in a window, the tray or a box, as both front ends report it: they call
// these and nothing else of the program, and see the answer in what the views are told next.

#include "core/monitor/policy.h"
#include "core/program/network_ups.h"

namespace zelto {

class UserActions {
public:
    virtual ~UserActions() = default;

    // The windows exist: restore the settings, open the port, run the first tick.
    virtual void FormCreate() = 0;
    // ComboBox1Change, ComboBox2Change, ComboBox3Change: the user picked another entry.
    virtual void PolicyChanged(PolicyList list, int index) = 0;
    // ComboBox4DropDown: the user is opening the port list.
    virtual void RefreshPortList() = 0;
    // ComboBox4Change: the user picked a port.
    virtual void ComboBox4Change(int index) = 0;
    // Image5Click: the user asked the UPS to switch its beeper.
    virtual void Image5Click() = 0;
    // Timer1Timer: one poll tick.
    virtual void Timer1Timer() = 0;
    // The countdown dialog's buttons, or the program ending while it shows (a CountdownResult).
    virtual void CountdownAnswered(int result) = 0;
    // The "Сетевой UPS…" dialog's "Проверить": the verdict comes as MainView::ShowNetworkUpsCheck.
    virtual void CheckNetworkUps(const NetworkUpsForm& form) = 0;
    // Its OK: true when the UPS is taken (followed and stored) and the dialog may close; false
    // with the reason shown in the dialog.
    virtual bool NetworkUpsChosen(const NetworkUpsForm& form) = 0;
};

// Where a window reports before it is attached to a program (a window tested on its own).
class NoUserActions final : public UserActions {
public:
    void FormCreate() override {}
    void PolicyChanged(PolicyList, int) override {}
    void RefreshPortList() override {}
    void ComboBox4Change(int) override {}
    void Image5Click() override {}
    void Timer1Timer() override {}
    void CountdownAnswered(int) override {}
    void CheckNetworkUps(const NetworkUpsForm&) override {}
    bool NetworkUpsChosen(const NetworkUpsForm&) override { return false; }
};

}  // namespace zelto
