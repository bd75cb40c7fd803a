#pragma once
// TForm1, the main window: the readings, the pictures, the port list and the three policy lists.
// It shows what the program tells it (MainView, Display) and announces the user's actions and the
// poll timer's ticks as signals, which the assembly connects to the program.

#include <QPalette>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <array>
#include <vector>

#include "core/monitor/display.h"
#include "core/program/main_view.h"
#include "qt/tray_icon.h"

class QCloseEvent;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace zelto {

class CountdownDialog;
class TAboutBox;

class TForm1 : public QWidget, public MainView, public Display {
    Q_OBJECT

public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // The flag that says whether the window is hidden in the tray: the window's own until the
    // assembly hands it the program's WindowHidden.
    void ShareWindowHidden(bool& windowHidden) { windowHidden_ = &windowHidden; }
    // The countdown dialog a showing of which Exit must end first.
    void SetCountdownDialog(CountdownDialog& dialog) { countdown_ = &dialog; }
    // Start-up: startingUp() lets the program restore the settings, open the port and run the
    // first tick; then Timer1 takes over the polling (also when a start-up step failed).
    void FormCreate();

    // MainView
    void SetPolicyIndex(PolicyList list, int index) override;
    void SetPortList(const std::vector<std::string>& names) override;
    void SetPortIndex(int index) override;
    void SetCaption(const std::string& caption) override;
    // SetTrayIcon(add) with the application icon; the tip is still empty.
    void AddTrayIcon() override;

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

    // The latest tray picture (index into the 16 px list, -1 before the first) and tip.
    int TrayPicture() const { return trayPicture_; }
    QString TrayTip() const { return trayTip_; }
    QTimer& Timer1() { return timer1_; }
    // The tray icon with PopupMenu1.
    TrayIcon* Tray() { return &tray_; }
    TAboutBox& AboutBox() const { return *AboutBox_; }

signals:
    // The events the program handles. FormCreate: start-up, before Timer1 starts.
    void startingUp();
    // ComboBox1Change, ComboBox2Change, ComboBox3Change: the user picked an entry.
    void policyChosen(PolicyList list, int index);
    // ComboBox4DropDown: the user is opening the port list.
    void portListOpening();
    // ComboBox4Change: the user picked a port.
    void portChosen(int index);
    // Image5Click: the user asked the UPS to switch its beeper.
    void beeperToggleRequested();
    // Timer1Timer: one poll tick.
    void pollTick();

    // Button1 was clicked; the About dialog opens right after.
    void aboutRequested();
    void trayChanged(int picture, const QString& tip);
    // Emitted by ExitAppExecute just before the event loop is told to end.
    void exitRequested();

public slots:
    void Button1Click();
    void Button3Click();
    // The Exit command: takes the icon out of the tray, ends a showing countdown (no power
    // action follows) and ends the event loop.
    void ExitAppExecute();
    // Toggles the window's visibility: the tray's left click and "Открыть / скрыть".
    void ShowHideExecute();
    // "Закрыть" in the tray menu.
    void N1Click();
    void ComboBox1Change(int index);
    void ComboBox2Change(int index);
    void ComboBox3Change(int index);
    void ComboBox4Change(int index);
    // The user is opening the port list: it follows the devices plugged in now.
    void ComboBox4DropDown();
    void Image5Click();
    void Timer1Timer();

protected:
    // The title-bar close and Alt+F4 only hide the window: the program keeps running in the
    // tray.
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void StyleControls();
    void ConnectControls();
    QLabel* ReadingLabel(Reading which) const;
    QComboBox* PolicyCombo(PolicyList list) const;

    QTimer timer1_;
    int trayPicture_ = -1;
    QString trayTip_;
    TrayIcon tray_;
    CountdownDialog* countdown_ = nullptr;
    bool ownHidden_ = true;
    bool* windowHidden_ = &ownHidden_;
    std::vector<QPalette> linkPalettes_;  // the port list's text red, then black

    // Controls by their names; all are children of the window.
    std::array<QLabel*, 7> readings_{};  // Label1 .. Label7, in Reading order
    QLabel* Label20 = nullptr;
    QLabel* Label21 = nullptr;
    QLabel* Label22 = nullptr;
    QLabel* Image4 = nullptr;
    QLabel* Image5 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QComboBox* ComboBox1 = nullptr;
    QComboBox* ComboBox2 = nullptr;
    QComboBox* ComboBox3 = nullptr;
    QComboBox* ComboBox4 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button3 = nullptr;
    TAboutBox* AboutBox_ = nullptr;  // a hidden child dialog, shown modally by Button1
};

}  // namespace zelto
