// The main window with its tray icon, offscreen: start-up puts the application icon in the tray
// and builds no window; records change the icon and tip; clicks and the menu toggle the window;
// a window opened late shows what one open all along shows; closing only hides it; Exit takes
// the icon out, also while a countdown shows.
#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "core/program/main_window_layout.h"
#include "core/program/program.h"
#include "qt/about_box.h"
#include "qt/countdown_dialog.h"
#include "qt/images.h"
#include "qt/main_window.h"
#include "qt/main_window_host.h"
#include "qt/tray_icon.h"
#include "qt/zelto_application.h"
#include "support/core_fakes.h"
#include "support/status_records.h"

namespace zelto {
namespace {

class NoPorts : public PortTable {
public:
    std::vector<PortEntry> SystemPorts() override { return {{"ttyUSB0", "/fake/dev/ttyUSB0"}}; }
};

QStringList Items(const QComboBox* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i) {
        items << list->itemText(i);
    }
    return items;
}

QImage Pixels(const QIcon& icon) {
    return icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
}

// Runs the application's event loop, in which `action` happens; returns its exit code (-1:
// nobody ended it within five seconds).
int ExitCodeOfLoopAround(const std::function<void()>& action) {
    QTimer::singleShot(0, action);
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(-1); });
    guard.start(5000);
    return QCoreApplication::exec();
}

class TrayWindow : public ::testing::Test {
protected:
    TrayWindow() { ConnectWindowToProgram(form, program); }

    void ClickTray(QSystemTrayIcon::ActivationReason reason = QSystemTrayIcon::Trigger) {
        emit form.Tray()->SystemTrayIcon().activated(reason);
    }
    bool& WindowHidden() { return program.State().WindowHidden; }

    fakes::FakeSettingsStore store;
    fakes::FakeComPort port;
    NoPorts portTable;
    fakes::FakeCountdown countdown;
    fakes::FakePowerRequests power;
    fakes::FakeErrorReporter errors;
    MainWindowHost form;
    Program program{Platform{store, port, portTable, form, form, countdown, power, errors}};
};

// Whether the main window is open; false also while it has never been built.
bool IsOpen(const MainWindowHost& form) {
    return form.WindowIfBuilt() != nullptr && form.WindowIfBuilt()->isVisible();
}

TEST_F(TrayWindow, StartUpPutsTheApplicationIconInTheTrayAndBuildsNoWindow) {
    form.FormCreate();
    TrayIcon& tray = *form.Tray();
    EXPECT_TRUE(tray.Present());
    EXPECT_EQ(Pixels(tray.Icon()), Pixels(AppIcon()));
    EXPECT_TRUE(tray.ToolTip().isEmpty());
    EXPECT_TRUE(WindowHidden());
    // The poll runs without any window: records reach the tray and no window is built. Each
    // answer is read by the tick after its query.
    port.AnswerQueries({fakes::PowerRecord("11.0", true), fakes::BuildRecord({})});
    form.Timer1Timer();
    form.Timer1Timer();
    EXPECT_EQ(form.TrayPicture(), 1);
    form.Timer1Timer();
    EXPECT_EQ(form.TrayPicture(), 8);
    EXPECT_EQ(form.WindowIfBuilt(), nullptr);
    EXPECT_EQ(form.CountdownIfBuilt(), nullptr);
}

struct RecordCase {
    const char* name;
    const char* battery;
    bool onBattery;
    int picture;
    const char* tip;
};

class TrayWindowRecords : public TrayWindow, public ::testing::WithParamInterface<RecordCase> {};

TEST_P(TrayWindowRecords, SetTheTrayPictureAndTip) {
    const RecordCase& c = GetParam();
    port.AnswerQueries({fakes::PowerRecord(c.battery, c.onBattery)});
    form.FormCreate();
    form.Timer1Timer();
    ASSERT_TRUE(form.Tray()->Present());
    EXPECT_EQ(Pixels(form.Tray()->Icon()), Pixels(QIcon(ListImage16(c.picture))));
    EXPECT_EQ(form.Tray()->ToolTip(), QString::fromUtf8(c.tip));
    EXPECT_TRUE(errors.texts.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Records, TrayWindowRecords,
    ::testing::Values(
        RecordCase{"MainsFull", "13.6", false, 8, "Питание от сети. Заряд батареи: 100%"},
        RecordCase{"MainsLow", "12.0", false, 8, "Питание от сети. Заряд батареи: 0%"},
        RecordCase{"BatteryFull", "11.3", true, 0, "Питание от UPS. Заряд батареи: 100%"},
        RecordCase{"BatteryHalf", "11.0", true, 1, "Питание от UPS. Заряд батареи: 77%"},
        RecordCase{"BatteryLow", "10.5", true, 2, "Питание от UPS. Заряд батареи: 38%"},
        RecordCase{"BatteryEmpty", "10.0", true, 3, "Питание от UPS. Заряд батареи: 0%"}),
    [](const ::testing::TestParamInfo<RecordCase>& info) { return info.param.name; });

// ---- A window opened late ------------------------------------------------------------------

constexpr const char* kSettingsPath = "/fake/work/UPSZelto.ini";

class TwoPorts : public PortTable {
public:
    std::vector<PortEntry> SystemPorts() override {
        return {{"ttyUSB0", "/fake/dev/ttyUSB0"}, {"ttyS1", "/fake/dev/ttyS1"}};
    }
};

// A program with fakes around it; two of them get the same settings and records.
struct Rig {
    explicit Rig(const std::string& settings) {
        store.files[kSettingsPath] = settings;
        ConnectWindowToProgram(form, program);
    }
    fakes::FakeSettingsStore store;
    fakes::FakeComPort port;
    TwoPorts portTable;
    fakes::FakeCountdown countdown;
    fakes::FakePowerRequests power;
    fakes::FakeErrorReporter errors;
    MainWindowHost form;
    Program program{Platform{store, port, portTable, form, form, countdown, power, errors}};
};

// Which picture of the 32 px list a label shows: its index, "none" or "other".
std::string PictureName(const QLabel* label) {
    if (label->pixmap().isNull()) {
        return "none";
    }
    const QImage shown = label->pixmap().toImage();
    for (int i = 0; i < 12; ++i) {
        if (shown == ListImage32(i).toImage()) {
            return std::to_string(i);
        }
    }
    return "other";
}

// Everything the window shows, one line per control.
std::string WindowSeen(MainWindowHost& form) {
    TForm1& window = form.Window();
    std::ostringstream seen;
    seen << "title " << window.windowTitle().toStdString() << "\n";
    for (const auto& row : MainWindowLayout()) {
        QWidget* control = window.findChild<QWidget*>(row.name);
        seen << row.name << (control->isHidden() ? " hidden" : "");
        if (row.kind == ControlKind::Text || row.kind == ControlKind::Value) {
            seen << " " << static_cast<QLabel*>(control)->text().toStdString();
        } else if (row.kind == ControlKind::Picture) {
            seen << " picture " << PictureName(static_cast<QLabel*>(control));
        } else if (row.kind == ControlKind::Bar) {
            seen << " " << static_cast<QProgressBar*>(control)->value();
        } else if (row.kind == ControlKind::List) {
            const auto* list = static_cast<QComboBox*>(control);
            seen << " [" << Items(list).join(", ").toStdString() << "] at " << list->currentIndex()
                 << " in " << list->palette().color(QPalette::Text).name().toStdString();
        }
        seen << "\n";
    }
    return seen.str();
}

// What the tray shows: whether the icon is there, its tip and picture.
std::string TraySeen(MainWindowHost& form) {
    std::ostringstream seen;
    seen << "tray " << (form.Tray()->Present() ? "in" : "out") << ", tip "
         << form.Tray()->ToolTip().toStdString() << ", picture ";
    const QImage icon = Pixels(form.Tray()->Icon());
    int picture = -1;
    for (int i = 0; i < 12 && picture < 0; ++i) {
        picture = icon == Pixels(QIcon(ListImage16(i))) ? i : -1;
    }
    seen << picture << "\n";
    return seen.str();
}

enum class Opening {
    AtTheEnd,      // first opened after every record
    HiddenMidway,  // opened after the first tick, hidden, opened again after the last
};

struct LateCase {
    const char* name;
    const char* settings;
    // One answer per status query, start-up's included; an empty one leaves the link silent.
    std::vector<std::string> answers;
};

class LateWindow : public ::testing::TestWithParam<std::tuple<LateCase, Opening>> {};

TEST_P(LateWindow, ShowsWhatAWindowOpenAllAlongShows) {
    const auto& [c, opening] = GetParam();
    Rig allAlong(c.settings);
    Rig late(c.settings);
    for (Rig* rig : {&allAlong, &late}) {
        for (const std::string& answer : c.answers) {
            rig->port.AnswerQueries({answer});
        }
        rig->form.FormCreate();
    }
    allAlong.form.ShowHideExecute();
    ASSERT_TRUE(IsOpen(allAlong.form));

    std::string whenHidden;
    // Start-up ran the first tick; one more shows the last answer's link state.
    for (std::size_t tick = 1; tick <= c.answers.size(); ++tick) {
        if (opening == Opening::HiddenMidway && tick == 2) {
            late.form.ShowHideExecute();
            ASSERT_TRUE(IsOpen(late.form));
            late.form.ShowHideExecute();
            ASSERT_FALSE(IsOpen(late.form));
            whenHidden = WindowSeen(late.form);
        }
        allAlong.form.Timer1Timer();
        late.form.Timer1Timer();
    }
    if (opening == Opening::AtTheEnd) {
        EXPECT_EQ(late.form.WindowIfBuilt(), nullptr) << "a window was built before it opened";
    } else {
        // A hidden window is left as it was.
        EXPECT_EQ(WindowSeen(late.form), whenHidden);
    }
    late.form.ShowHideExecute();
    ASSERT_TRUE(IsOpen(late.form));
    EXPECT_EQ(WindowSeen(late.form), WindowSeen(allAlong.form));
    EXPECT_EQ(TraySeen(late.form), TraySeen(allAlong.form));
    // Out-of-range settings are told at start-up; opening late tells nothing more or less.
    EXPECT_EQ(late.errors.texts, allAlong.errors.texts);
}

fakes::RecordFields BeeperOff() {
    fakes::RecordFields f;
    f.flags = "00001000";
    return f;
}

fakes::RecordFields OnBattery(const std::string& battery, const std::string& load) {
    fakes::RecordFields f;
    f.mains = "000.0";
    f.battery = battery;
    f.load = load;
    f.flags = "10001001";
    return f;
}

INSTANTIATE_TEST_SUITE_P(
    Records, LateWindow,
    ::testing::Combine(
        ::testing::Values(
            LateCase{"OnMains",
                     "[UPS]\nCOMPort=1\nCompOff=4\nOffMethod=1\nOffUPS=5\n",
                     {fakes::BuildRecord({}), fakes::BuildRecord({})}},
            LateCase{"OnBatteryWithTheClock",
                     "[UPS]\nCOMPort=0\nCompOff=6\n",
                     {fakes::BuildRecord({}), fakes::BuildRecord(OnBattery("11.3", "020")),
                      fakes::BuildRecord(OnBattery("11.0", "030")),
                      fakes::BuildRecord(OnBattery("10.5", "041"))}},
            LateCase{"BackOnMainsWithTheBeeperOff",
                     "[UPS]\nCOMPort=0\nCompOff=6\nOffMethod=2\n",
                     {fakes::BuildRecord(OnBattery("11.0", "030")),
                      fakes::BuildRecord(OnBattery("10.9", "030")), fakes::BuildRecord(BeeperOff()),
                      fakes::BuildRecord(BeeperOff())}},
            LateCase{"LinkLost",
                     "[UPS]\nCOMPort=1\nCompOff=6\nOffUPS=11\n",
                     {fakes::BuildRecord({}), fakes::BuildRecord({}), "", ""}},
            LateCase{"NoPortChosen", "[UPS]\nCOMPort=5\nCompOff=9\n", {"", ""}}),
        ::testing::Values(Opening::AtTheEnd, Opening::HiddenMidway)),
    [](const ::testing::TestParamInfo<LateWindow::ParamType>& info) {
        return std::string(std::get<0>(info.param).name) +
               (std::get<1>(info.param) == Opening::AtTheEnd ? "OpenedAtTheEnd" : "HiddenMidway");
    });

TEST_F(TrayWindow, AClickShowsTheWindowAndASecondHidesIt) {
    form.FormCreate();
    ClickTray();
    EXPECT_TRUE(IsOpen(form));
    EXPECT_FALSE(WindowHidden());
    ClickTray();
    EXPECT_FALSE(IsOpen(form));
    EXPECT_TRUE(WindowHidden());
}

TEST_F(TrayWindow, ADoubleClickChangesTheWindowOnce) {
    form.FormCreate();
    ClickTray(QSystemTrayIcon::Trigger);
    ClickTray(QSystemTrayIcon::DoubleClick);
    EXPECT_TRUE(IsOpen(form));
    EXPECT_FALSE(WindowHidden());
}

TEST_F(TrayWindow, TheRightButtonLeavesTheWindowAlone) {
    form.FormCreate();
    ClickTray(QSystemTrayIcon::Context);
    EXPECT_FALSE(IsOpen(form));
    EXPECT_TRUE(WindowHidden());
}

TEST_F(TrayWindow, OpenHideInTheMenuToggles) {
    form.FormCreate();
    form.Tray()->N3().trigger();
    EXPECT_TRUE(IsOpen(form));
    form.Tray()->N3().trigger();
    EXPECT_FALSE(IsOpen(form));
    EXPECT_TRUE(WindowHidden());
}

TEST_F(TrayWindow, ShownWindowIsActive) {
    form.FormCreate();
    ClickTray();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&form.Window()));
}

TEST_F(TrayWindow, CloseOnlyHidesAndOneClickBringsTheWindowBack) {
    form.FormCreate();
    ClickTray();
    EXPECT_FALSE(form.Window().close());
    EXPECT_FALSE(IsOpen(form));
    EXPECT_TRUE(WindowHidden());
    EXPECT_TRUE(form.Tray()->Present());
    ClickTray();
    EXPECT_TRUE(IsOpen(form));
    EXPECT_FALSE(WindowHidden());
}

TEST_F(TrayWindow, MinimiseWorksAsUsual) {
    form.FormCreate();
    ClickTray();
    form.Window().showMinimized();
    EXPECT_TRUE(form.Window().isMinimized());
    EXPECT_TRUE(IsOpen(form));
    EXPECT_FALSE(WindowHidden());
    // Hidden and shown again from the tray, it comes back restored.
    ClickTray();
    ClickTray();
    EXPECT_FALSE(form.Window().isMinimized());
}

TEST_F(TrayWindow, CloseInTheMenuIsExitAndTakesTheIconOut) {
    form.FormCreate();
    QSignalSpy exiting(&form, &MainWindowHost::exitRequested);
    const int code = ExitCodeOfLoopAround([this] { form.Tray()->N1().trigger(); });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(exiting.count(), 1);
    EXPECT_FALSE(form.Tray()->Present());
}

TEST_F(TrayWindow, TheExitButtonTakesTheIconOutToo) {
    form.FormCreate();
    const int code = ExitCodeOfLoopAround([this] {
        QTest::mouseClick(form.Window().findChild<QPushButton*>("Button3"), Qt::LeftButton);
    });
    EXPECT_EQ(code, 0);
    EXPECT_FALSE(form.Tray()->Present());
}

TEST_F(TrayWindow, ExitWhileTheCountdownShowsEndsItAsProgramEnding) {
    form.FormCreate();
    CountdownDialog& dialog = form.CountdownWindow();
    int result = -1;
    bool shownWhenExitCame = false;
    std::uint16_t seconds = 30;
    const int code = ExitCodeOfLoopAround([&] {
        QTimer::singleShot(300, &form, [&] {
            shownWhenExitCame = dialog.isVisible();
            form.Tray()->N1().trigger();
        });
        result = form.Run(seconds);
    });
    EXPECT_TRUE(shownWhenExitCame);
    EXPECT_EQ(result, CountdownProgramEnding);
    EXPECT_EQ(code, 0);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_FALSE(form.Tray()->Present());
}

TEST_F(TrayWindow, TheAboutDialogLeavesTheShownWindowShown) {
    form.FormCreate();
    ClickTray();
    QWidget* modal = nullptr;
    QTimer::singleShot(0, &form, [&] {
        modal = QApplication::activeModalWidget();
        form.AboutBox().close();
    });
    QTest::mouseClick(form.Window().findChild<QPushButton*>("Button1"), Qt::LeftButton);
    EXPECT_EQ(modal, &form.AboutBox());
    EXPECT_TRUE(IsOpen(form));
    EXPECT_FALSE(WindowHidden());
}

TEST_F(TrayWindow, TheWindowTogglesUnderAnOpenAboutDialog) {
    form.FormCreate();
    ClickTray();
    bool hiddenByClick = false;
    bool aboutStayed = false;
    QTimer::singleShot(0, &form, [&] {
        ClickTray();
        hiddenByClick = !IsOpen(form) && WindowHidden();
        aboutStayed = form.AboutBox().isVisible();
        ClickTray();
        form.AboutBox().close();
    });
    form.Window().Button1Click();
    EXPECT_TRUE(hiddenByClick);
    EXPECT_TRUE(aboutStayed);
    EXPECT_TRUE(IsOpen(form));
    EXPECT_FALSE(WindowHidden());
}

TEST_F(TrayWindow, EscapeInTheAboutDialogNeitherClosesItNorExits) {
    form.FormCreate();
    ClickTray();
    QSignalSpy exiting(&form, &MainWindowHost::exitRequested);
    bool aboutStayed = false;
    QTimer::singleShot(0, &form, [&] {
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form.AboutBox()));
        for (const char* focus : {"Memo1", "OKButton"}) {
            form.AboutBox().findChild<QWidget*>(focus)->setFocus();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        }
        aboutStayed = form.AboutBox().isVisible();
        form.AboutBox().close();
    });
    form.Window().Button1Click();
    EXPECT_TRUE(aboutStayed);
    EXPECT_EQ(exiting.count(), 0);
    EXPECT_TRUE(IsOpen(form));
}

TEST_F(TrayWindow, DialogsAreModalForTheMainWindowOnly) {
    // The tray icon is a window of its own: a dialog modal for the whole application would
    // swallow its clicks.
    EXPECT_EQ(form.AboutBox().windowModality(), Qt::WindowModal);
    EXPECT_EQ(form.AboutBox().parentWidget(), form.WindowIfBuilt());
    EXPECT_EQ(form.CountdownWindow().windowModality(), Qt::WindowModal);
    EXPECT_EQ(form.CountdownWindow().parentWidget(), form.WindowIfBuilt());
}

}  // namespace
}  // namespace zelto
