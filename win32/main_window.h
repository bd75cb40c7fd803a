#pragma once
// TForm1, the main window: the readings, the pictures, the port list and the three policy lists,
// built from the main window's layout table. It shows what the program tells it (MainView,
// Display) and forwards the user's actions, the tray's clicks and the poll timer to the program.

#include "win32/windows_api.h"

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/base/program_state.h"
#include "core/monitor/display.h"
#include "core/monitor/pictures.h"
#include "core/program/main_view.h"
#include "core/program/user_actions.h"
#include "win32/tray_icon.h"
#include "win32/unique_handle.h"
#include "win32/window_base.h"

namespace zelto {

class Images;
class MessageBoxReporter;
class NetworkUpsDialog;
class TAboutBox;
class UiStyle;

class TForm1 : public WindowBase, public MainView, public Display {
public:
    TForm1(const UiStyle& ui, const Images& images, Language language);
    ~TForm1() override;

    // Routes the window's events, the tray and the timer to the program's actions, shares its
    // state (WindowHidden, the tray's tip) and gives the window its dialogs; until then they do
    // nothing. The tray icon reaches the shell through `trayNotify`.
    void Attach(UserActions& actions, ProgramState& state, TAboutBox& about,
                MessageBoxReporter& errors, TrayIcon::ShellNotify trayNotify);
    // What the window asks of the program around it: the journal window opened from the tray
    // menu, and the last word before the session ends and takes the process with it.
    struct Hooks {
        std::function<void()> openJournal;
        std::function<void()> sessionEnding;
        // The tray refused the icon, so the window is kept on the screen; once a run.
        std::function<void()> trayMissing;
    };
    void SetHooks(Hooks hooks) { hooks_ = std::move(hooks); }
    // Start-up: the program restores the settings, opens the port and runs the first tick; then
    // Timer1 takes over the polling (also when a start-up step failed).
    void FormCreate();

    // MainView
    void SetPolicyIndex(PolicyList list, int index) override;
    void SetPortList(const std::vector<std::string>& names) override;
    void SetPortIndex(int index) override;
    void SetCaption(const std::string& caption) override;
    void AddTrayIcon() override;
    void SetUpsOffEnabled(bool enabled) override;
    // The dialog is built the first time it opens.
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

    // The Exit command: takes the icon out of the tray, ends a showing countdown (no power
    // action follows) and ends the message loop.
    void ExitAppExecute();
    // Toggles the window's visibility: the tray's left click and "Открыть / скрыть".
    void ShowHideExecute();
    // Shows the window and brings it to the front: what a second start of the program asks for.
    void BringToFront();

    // A control by its name in the layout table; nullptr for an unknown name.
    HWND Control(const std::string& name) const;
    TrayIcon* Tray() const { return tray_.get(); }
    // The "Сетевой UPS" dialog's window, for the message loop's dialog keys; null until it
    // first opened.
    HWND NetworkUpsDialogHandle() const;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void BuildControls();
    void Command(HWND control, int id, int code);
    // Closing the window: hidden into the tray, or only minimised while there is no icon.
    void HideToTray();
    // Shows the hidden window while the tray has no icon for it, so that the program is never
    // without both.
    void KeepReachable();
    bool DrawPortItem(const DRAWITEMSTRUCT& item);
    HWND PolicyCombo(PolicyList list) const;
    bool& WindowHidden();

    const UiStyle& ui_;
    const Images& images_;
    const Language language_;
    NoUserActions unattached_;
    UserActions* actions_ = &unattached_;
    ProgramState* state_ = nullptr;
    TAboutBox* about_ = nullptr;
    MessageBoxReporter* errors_ = nullptr;
    std::unique_ptr<TrayIcon> tray_;
    std::unique_ptr<NetworkUpsDialog> networkUps_;
    UINT taskbarCreated_ = 0;
    UINT showMainWindow_ = 0;
    Hooks hooks_;
    bool detachedHidden_ = true;
    bool linkOk_ = false;
    bool trayMissingTold_ = false;
    int trayPicture_ = kPictureProgram;

    BrushHandle panelBrush_;
    BrushHandle whiteBrush_;
    COLORREF panelColour_ = 0;
    std::map<std::string, HWND> controls_;
    std::vector<HWND> values_;  // the readings' labels: red and bold
    WindowHandle tooltip_;

    std::array<HWND, 7> readings_{};  // Label1 .. Label7, in Reading order
    HWND Label20 = nullptr;
    HWND Label21 = nullptr;
    HWND Label22 = nullptr;
    HWND Image4 = nullptr;
    HWND Image5 = nullptr;
    HWND ProgressBar1 = nullptr;
    HWND ComboBox1 = nullptr;
    HWND ComboBox2 = nullptr;
    HWND ComboBox3 = nullptr;
    HWND ComboBox4 = nullptr;
    HWND Button1 = nullptr;
    HWND Button3 = nullptr;
};

}  // namespace zelto
