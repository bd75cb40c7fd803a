#pragma once
// TForm1, the main window: the readings, the pictures, the port list and the three policy lists.
// It is built the first time the user opens it. Each time it opens it paints the contents the
// program keeps for it; while it is open its owner passes each change on as well. The user's
// actions leave it as signals.

#include <QPalette>
#include <QWidget>

#include <array>
#include <string>
#include <vector>

#include "core/monitor/display.h"
#include "core/monitor/policy.h"
#include "core/program/main_window_contents.h"

class QCloseEvent;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QShowEvent;

namespace zelto {

class TAboutBox;

class TForm1 : public QWidget {
    Q_OBJECT

public:
    // `contents` must outlive the window.
    TForm1(const MainWindowContents& contents, Language language, QWidget* parent = nullptr);
    ~TForm1() override;

    // The whole of `contents` on the controls.
    void Paint(const MainWindowContents& contents);

    // One part of the contents each. An index outside its list selects nothing; a new port
    // list has nothing selected.
    void SetPolicyIndex(PolicyList list, int index);
    void SetPortList(const std::vector<std::string>& names);
    void SetPortIndex(int index);
    // ComboBox3 greyed while the UPS is another machine's to switch off.
    void SetUpsOffEnabled(bool enabled);
    void SetCaption(const std::string& caption);
    void ShowLinkState(bool ok);
    void ShowReading(Reading which, const std::string& text);
    void ShowLoadBar(int percent);
    void ShowBeeperPicture(int picture);
    void ShowBatteryPicture(int picture);
    void ShowCharge(const std::string& text);
    void ShowClockVisible(bool visible);
    void ShowClock(const std::string& text);

    // The About dialog, a child of this window, built the first time it is asked for.
    TAboutBox& AboutBox();

signals:
    // ComboBox1Change, ComboBox2Change, ComboBox3Change: the user picked an entry.
    void policyChosen(PolicyList list, int index);
    // ComboBox4DropDown: the user is opening the port list.
    void portListOpening();
    // ComboBox4Change: the user picked a port.
    void portChosen(int index);
    // Image5Click: the user asked the UPS to switch its beeper.
    void beeperToggleRequested();
    // Button1 was clicked; the About dialog opens right after.
    void aboutRequested();
    // Button3 or Escape: the Exit command.
    void exitChosen();
    // The title-bar close or Alt+F4, which only hide the window into the tray.
    void hideRequested();

public slots:
    void Button1Click();
    void Button3Click();
    void ComboBox1Change(int index);
    void ComboBox2Change(int index);
    void ComboBox3Change(int index);
    void ComboBox4Change(int index);
    // The user is opening the port list: it follows the devices plugged in now.
    void ComboBox4DropDown();
    void Image5Click();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void StyleControls();
    void ConnectControls();
    QLabel* ReadingLabel(Reading which) const;
    QComboBox* PolicyCombo(PolicyList list) const;

    const MainWindowContents& contents_;
    const Language language_;
    std::vector<QPalette> linkPalettes_;  // the port list's text red, then black
    int beeperPicture_ = -1;              // what Image5 and Image4 show now
    int batteryPicture_ = -1;

    // Controls by their names; all are children of the window.
    std::array<QLabel*, kReadingCount> readings_{};  // Label1 .. Label7, in Reading order
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
