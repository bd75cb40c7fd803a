// The main window with its tray icon, offscreen: start-up leaves the window hidden with the
// application icon in the tray; records change the icon and tip; clicks and the menu toggle the
// window; closing only hides it; Exit takes the icon out, also while a countdown shows.
#include <QApplication>
#include <QImage>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <cstdint>
#include <functional>

#include <gtest/gtest.h>

#include "core/program/program.h"
#include "qt/about_box.h"
#include "qt/countdown_dialog.h"
#include "qt/images.h"
#include "qt/main_window.h"
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
    TForm1 form;
    Program program{Platform{store, port, portTable, form, form, countdown, power, errors}};
};

TEST_F(TrayWindow, StartUpPutsTheApplicationIconInTheTrayAndShowsNoWindow) {
    form.FormCreate();
    TrayIcon& tray = *form.Tray();
    EXPECT_TRUE(tray.Present());
    EXPECT_EQ(Pixels(tray.Icon()), Pixels(AppIcon()));
    EXPECT_TRUE(tray.ToolTip().isEmpty());
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(WindowHidden());
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

TEST_F(TrayWindow, AClickShowsTheWindowAndASecondHidesIt) {
    form.FormCreate();
    ClickTray();
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(WindowHidden());
    ClickTray();
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(WindowHidden());
}

TEST_F(TrayWindow, ADoubleClickChangesTheWindowOnce) {
    form.FormCreate();
    ClickTray(QSystemTrayIcon::Trigger);
    ClickTray(QSystemTrayIcon::DoubleClick);
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(WindowHidden());
}

TEST_F(TrayWindow, TheRightButtonLeavesTheWindowAlone) {
    form.FormCreate();
    ClickTray(QSystemTrayIcon::Context);
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(WindowHidden());
}

TEST_F(TrayWindow, OpenHideInTheMenuToggles) {
    form.FormCreate();
    form.Tray()->N3().trigger();
    EXPECT_TRUE(form.isVisible());
    form.Tray()->N3().trigger();
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(WindowHidden());
}

TEST_F(TrayWindow, ShownWindowIsActive) {
    form.FormCreate();
    ClickTray();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&form));
}

TEST_F(TrayWindow, CloseOnlyHidesAndOneClickBringsTheWindowBack) {
    form.FormCreate();
    ClickTray();
    EXPECT_FALSE(form.close());
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(WindowHidden());
    EXPECT_TRUE(form.Tray()->Present());
    ClickTray();
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(WindowHidden());
}

TEST_F(TrayWindow, MinimiseWorksAsUsual) {
    form.FormCreate();
    ClickTray();
    form.showMinimized();
    EXPECT_TRUE(form.isMinimized());
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(WindowHidden());
    // Hidden and shown again from the tray, it comes back restored.
    ClickTray();
    ClickTray();
    EXPECT_FALSE(form.isMinimized());
}

TEST_F(TrayWindow, CloseInTheMenuIsExitAndTakesTheIconOut) {
    form.FormCreate();
    QSignalSpy exiting(&form, &TForm1::exitRequested);
    const int code = ExitCodeOfLoopAround([this] { form.Tray()->N1().trigger(); });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(exiting.count(), 1);
    EXPECT_FALSE(form.Tray()->Present());
}

TEST_F(TrayWindow, TheExitButtonTakesTheIconOutToo) {
    form.FormCreate();
    const int code = ExitCodeOfLoopAround(
        [this] { QTest::mouseClick(form.findChild<QPushButton*>("Button3"), Qt::LeftButton); });
    EXPECT_EQ(code, 0);
    EXPECT_FALSE(form.Tray()->Present());
}

TEST_F(TrayWindow, ExitWhileTheCountdownShowsEndsItAsProgramEnding) {
    CountdownDialog dialog(&form);
    dialog.setWindowModality(Qt::WindowModal);
    form.SetCountdownDialog(dialog);
    form.FormCreate();
    int result = -1;
    bool shownWhenExitCame = false;
    std::uint16_t seconds = 30;
    const int code = ExitCodeOfLoopAround([&] {
        QTimer::singleShot(300, &form, [&] {
            shownWhenExitCame = dialog.isVisible();
            form.Tray()->N1().trigger();
        });
        result = dialog.Run(seconds);
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
    QTest::mouseClick(form.findChild<QPushButton*>("Button1"), Qt::LeftButton);
    EXPECT_EQ(modal, &form.AboutBox());
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(WindowHidden());
}

TEST_F(TrayWindow, TheWindowTogglesUnderAnOpenAboutDialog) {
    form.FormCreate();
    ClickTray();
    bool hiddenByClick = false;
    bool aboutStayed = false;
    QTimer::singleShot(0, &form, [&] {
        ClickTray();
        hiddenByClick = !form.isVisible() && WindowHidden();
        aboutStayed = form.AboutBox().isVisible();
        ClickTray();
        form.AboutBox().close();
    });
    form.Button1Click();
    EXPECT_TRUE(hiddenByClick);
    EXPECT_TRUE(aboutStayed);
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(WindowHidden());
}

TEST_F(TrayWindow, EscapeInTheAboutDialogNeitherClosesItNorExits) {
    form.FormCreate();
    ClickTray();
    QSignalSpy exiting(&form, &TForm1::exitRequested);
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
    form.Button1Click();
    EXPECT_TRUE(aboutStayed);
    EXPECT_EQ(exiting.count(), 0);
    EXPECT_TRUE(form.isVisible());
}

TEST_F(TrayWindow, DialogsAreModalForTheMainWindowOnly) {
    // The tray icon is a window of its own: a dialog modal for the whole application would
    // swallow its clicks.
    EXPECT_EQ(form.AboutBox().windowModality(), Qt::WindowModal);
    EXPECT_EQ(form.AboutBox().parentWidget(), &form);
}

}  // namespace
}  // namespace zelto
