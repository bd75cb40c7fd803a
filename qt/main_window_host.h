#pragma once
// What stays of the main window while it has never been opened: Timer1 and the tray icon with
// PopupMenu1. It takes the program's output (MainView, Display) and the countdown requests
// (Countdown), builds TForm1 the first time the user opens it (from what the core says the
// window shows) and the countdown dialog the first time a countdown starts, and passes changes
// on to the window only while it is open. What the user does goes to the program's
// UserActions.

#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

#include "core/monitor/countdown.h"
#include "core/monitor/display.h"
#include "core/monitor/pictures.h"
#include "core/program/main_view.h"
#include "core/program/main_window_contents.h"
#include "core/program/user_actions.h"
#include "qt/tray_icon.h"

namespace zelto {

class TForm2;
class TAboutBox;
class TForm1;
class NetworkUpsDialog;

class MainWindowHost : public QObject, public MainView, public Display, public Countdown {
    Q_OBJECT

public:
    MainWindowHost();
    ~MainWindowHost() override;

    // The program behind the window: where the user's actions go, the flag that says whether
    // the window is hidden in the tray, and what the window shows. Until then the host reports
    // to nobody and keeps its own flag and the window's design contents.
    void Attach(UserActions& actions, bool& windowHidden, const MainWindowContents& contents,
                Language language);
    // Start-up: the program restores the settings, opens the port and runs the first tick; then
    // Timer1 takes over the polling (also when a start-up step failed).
    void FormCreate();

    // MainView
    void SetPolicyIndex(PolicyList list, int index) override;
    void SetPortList(const std::vector<std::string>& names) override;
    void SetPortIndex(int index) override;
    void SetCaption(const std::string& caption) override;
    // SetTrayIcon(add) with the application icon; the tip is still empty.
    void AddTrayIcon() override;
    void SetUpsOffEnabled(bool enabled) override;
    // "Сетевой UPS", built at its first opening, a child of the main window.
    void OpenNetworkUpsDialog(const NetworkUpsForm& form) override;
    void ShowNetworkUpsCheck(const std::string& text) override;

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

    // Countdown, shown in TForm2.
    void OpenCountdown(std::uint16_t seconds, const std::string& caption) override;
    void ShowCountdownSeconds(std::uint16_t seconds) override;
    void CloseCountdown() override;

    // What the main window shows, or would show if it were open.
    const MainWindowContents& Contents() const { return *contents_; }
    // The language of every window it builds.
    Language ShownLanguage() const { return language_; }
    // The main window; null until it has been built.
    TForm1* WindowIfBuilt() const { return window_.get(); }
    // The main window, built now (hidden) if it was not yet.
    TForm1& Window();
    // The countdown dialog; null until the first countdown.
    TForm2* CountdownIfBuilt() const { return countdown_.get(); }
    // The countdown dialog, built now (hidden) if it was not yet; modal for the main window.
    TForm2& CountdownWindow();
    TAboutBox& AboutBox();
    // "Сетевой UPS"; null until it was first opened.
    NetworkUpsDialog* NetworkUpsIfBuilt() const { return networkUps_.get(); }

    // The latest tray picture (index into the 16 px list, -1 before the first) and tip.
    int TrayPicture() const { return trayPicture_; }
    QString TrayTip() const { return trayTip_; }
    QTimer& Timer1() { return timer1_; }
    // The tray icon with PopupMenu1.
    TrayIcon* Tray() { return &tray_; }

signals:
    // Button1 was clicked; the About dialog opens right after.
    void aboutRequested();
    void trayChanged(int picture, const QString& tip);
    // Emitted by ExitAppExecute just before the event loop is told to end.
    void exitRequested();
    // The desktop has no tray for the icon, so the window is kept on the screen; once a run.
    void trayMissing();

public slots:
    // The Exit command (Button3, Escape, "Закрыть"): takes the icon out of the tray, ends a
    // showing countdown (no power action follows) and ends the event loop.
    void ExitAppExecute();
    // Toggles the window's visibility: the tray's left click and "Открыть / скрыть". The first
    // showing builds the window.
    void ShowHideExecute();
    // Shows the window (built now if it was not) and brings it to the front; a shown window
    // only comes to the front. What a second start of the program asks of the first.
    void ShowMainWindow();
    // "Закрыть" in the tray menu.
    void N1Click();
    void Timer1Timer();

private:
    // The window when it is open, else null: nothing is set on controls nobody can see.
    TForm1* Open() const;
    // Shows the hidden window while the desktop has no tray for the icon, so that the program
    // is never without both; closing it then only minimises it.
    void KeepReachable();

    NoUserActions unattached_;
    UserActions* actions_ = &unattached_;
    const MainWindowContents designContents_ = DesignContents();
    const MainWindowContents* contents_ = &designContents_;
    Language language_ = Language::Russian;
    QTimer timer1_;
    int trayPicture_ = kPictureProgram;
    QString trayTip_;
    TrayIcon tray_;
    bool ownHidden_ = true;
    bool trayMissingTold_ = false;
    static constexpr int kTrayCheckTicks = 3;
    int ticksSinceTrayCheck_ = 0;
    bool* windowHidden_ = &ownHidden_;
    std::unique_ptr<TForm1> window_;
    // A child of the window, so destroyed before it.
    std::unique_ptr<TForm2> countdown_;
    std::unique_ptr<NetworkUpsDialog> networkUps_;
};

}  // namespace zelto
