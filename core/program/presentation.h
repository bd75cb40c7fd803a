#pragma once
// What the main window and the tray show, kept in the core: everything the program shows goes
// through here, and the front end hears only of what changed. Each tick sets every reading, the
// link colour and the tray again; a front end that redrew them would cost the desktop a repaint a
// second for nothing, the most a hidden program spends.

#include <string>
#include <vector>

#include "core/monitor/display.h"
#include "core/monitor/pictures.h"
#include "core/program/main_view.h"
#include "core/program/main_window_contents.h"

namespace zelto {

class Presentation final : public Display, public MainView {
public:
    // The front end's window and tray; neither is owned.
    Presentation(Display& display, MainView& view) : display_(display), view_(view) {}

    const MainWindowContents& Contents() const { return contents_; }
    int TrayPicture() const { return trayPicture_; }
    const std::string& TrayTip() const { return trayTip_; }

    // Display
    void ShowLinkState(bool ok) override;
    void ShowReading(Reading which, const std::string& text) override;
    void ShowLoadBar(int percent) override;
    void ShowBeeperPicture(int picture) override;
    void ShowBatteryPicture(int picture) override;
    void ShowCharge(const std::string& text) override;
    void ShowClockVisible(bool visible) override;
    void ShowClock(const std::string& text) override;
    void ShowTray(int picture, const std::string& tip) override;

    // MainView
    void SetPolicyIndex(PolicyList list, int index) override;
    void SetPortList(const std::vector<std::string>& names) override;
    void SetPortIndex(int index) override;
    void SetCaption(const std::string& caption) override;
    // Always passed on: the icon starts again with the application's picture and no tip.
    void AddTrayIcon() override;
    void SetUpsOffEnabled(bool enabled) override;
    // Passed on as they come: the dialog is not part of the window's contents.
    void OpenNetworkUpsDialog(const NetworkUpsForm& form) override {
        view_.OpenNetworkUpsDialog(form);
    }
    void ShowNetworkUpsCheck(const std::string& text) override { view_.ShowNetworkUpsCheck(text); }

private:
    Display& display_;
    MainView& view_;
    MainWindowContents contents_ = DesignContents();
    int trayPicture_ = kPictureProgram;
    std::string trayTip_;
};

}  // namespace zelto
