// The main window with its tray icon, offscreen: start-up puts the application icon in the tray
// and builds no window; records change the icon and tip; clicks and the menu toggle the window;
// a window opened late shows what one open all along shows; closing only hides it; Exit takes
// the icon out, also while a countdown shows.
#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QLockFile>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "core/events/event_log.h"
#include "core/program/main_window_layout.h"
#include "core/program/program.h"
#include "qt/about_box.h"
#include "qt/countdown_dialog.h"
#include "qt/history_chart.h"
#include "qt/images.h"
#include "qt/journal_window.h"
#include "qt/journal_window_host.h"
#include "qt/main_window.h"
#include "qt/main_window_host.h"
#include "qt/network_ups_dialog.h"
#include "qt/single_instance.h"
#include "qt/tray_icon.h"
#include "qt/zelto_application.h"
#include "support/core_fakes.h"
#include "support/event_fakes.h"
#include "support/status_records.h"

namespace zelto {
namespace {

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
        emit form.Tray()->SystemTrayIcon()->activated(reason);
    }
    bool& WindowHidden() { return program.State().WindowHidden; }

    fakes::FakeSettingsStore store;
    fakes::FakeComPort port;
    fakes::FakePortTable portTable{{{"ttyUSB0", "/fake/dev/ttyUSB0"}}};
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

// A program with fakes around it; two of them get the same settings and records.
struct Rig {
    explicit Rig(const std::string& settings) {
        store.files[kSettingsPath] = settings;
        ConnectWindowToProgram(form, program);
    }
    fakes::FakeSettingsStore store;
    fakes::FakeComPort port;
    fakes::FakePortTable portTable{
        {{"ttyUSB0", "/fake/dev/ttyUSB0"}, {"ttyS1", "/fake/dev/ttyS1"}}};
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
    for (const auto& row : MainWindowLayout(Language::Russian)) {
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
    fakes::RecordedActions actions;
    form.Attach(actions, program.State().WindowHidden, program.Shown().Contents(),
                Language::Russian);
    form.OpenCountdown(30, kModelCaption);
    // The tray's menu works while the countdown shows: nothing waits inside it.
    const int code = ExitCodeOfLoopAround([this] { form.Tray()->N1().trigger(); });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(actions.calls, std::vector<std::string>{"CountdownAnswered 2"});
    EXPECT_FALSE(form.Tray()->Present());
}

TEST_F(TrayWindow, TheNetworkUpsDialogReportsItsFieldsAndClosesOnlyWhenTaken) {
    form.FormCreate();
    fakes::RecordedActions actions;
    form.Attach(actions, program.State().WindowHidden, program.Shown().Contents(),
                Language::Russian);
    form.OpenNetworkUpsDialog(NetworkUpsForm{"nas:3493", "ups", "mon", "stored"});
    NetworkUpsDialog& dialog = *form.NetworkUpsIfBuilt();
    ASSERT_TRUE(dialog.isVisible());
    EXPECT_TRUE(dialog.PasswordEdit->text().isEmpty()) << "a stored password is never shown";
    EXPECT_EQ(dialog.PasswordEdit->echoMode(), QLineEdit::Password);
    const auto button = [&dialog](const char* text) {
        for (QPushButton* found : dialog.findChildren<QPushButton*>()) {
            if (found->text() == QString::fromUtf8(text)) {
                return found;
            }
        }
        return static_cast<QPushButton*>(nullptr);
    };
    ASSERT_NE(button("Проверить"), nullptr);
    QTest::mouseClick(button("Проверить"), Qt::LeftButton);
    form.ShowNetworkUpsCheck("UPS «ups» найден. На сервере: ups");
    EXPECT_EQ(dialog.CheckLabel->text(), QString::fromUtf8("UPS «ups» найден. На сервере: ups"));
    // Not taken: the dialog stays, with the program's reason in its line.
    actions.takeNetworkUps = false;
    QTest::mouseClick(button("OK"), Qt::LeftButton);
    EXPECT_TRUE(dialog.isVisible());
    actions.takeNetworkUps = true;
    QTest::mouseClick(button("OK"), Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(actions.calls, (std::vector<std::string>{"CheckNetworkUps ups@nas:3493",
                                                       "NetworkUpsChosen ups@nas:3493 mon",
                                                       "NetworkUpsChosen ups@nas:3493 mon"}));
}

TEST_F(TrayWindow, TheAboutDialogLeavesTheShownWindowShown) {
    form.FormCreate();
    ClickTray();
    QTest::mouseClick(form.Window().findChild<QPushButton*>("Button1"), Qt::LeftButton);
    // Nothing waits inside the click: the dialog is up when it returns.
    EXPECT_EQ(QApplication::activeModalWidget(), &form.AboutBox());
    form.AboutBox().close();
    EXPECT_TRUE(IsOpen(form));
    EXPECT_FALSE(WindowHidden());
}

TEST_F(TrayWindow, TheWindowTogglesUnderAnOpenAboutDialog) {
    form.FormCreate();
    ClickTray();
    form.Window().Button1Click();
    ClickTray();
    EXPECT_TRUE(!IsOpen(form) && WindowHidden());
    EXPECT_TRUE(form.AboutBox().isVisible());
    ClickTray();
    form.AboutBox().close();
    EXPECT_TRUE(IsOpen(form));
    EXPECT_FALSE(WindowHidden());
}

TEST_F(TrayWindow, EscapeInTheAboutDialogNeitherClosesItNorExits) {
    form.FormCreate();
    ClickTray();
    QSignalSpy exiting(&form, &MainWindowHost::exitRequested);
    form.Window().Button1Click();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form.AboutBox()));
    for (const char* focus : {"Memo1", "OKButton"}) {
        form.AboutBox().findChild<QWidget*>(focus)->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    }
    EXPECT_TRUE(form.AboutBox().isVisible());
    form.AboutBox().close();
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

// One copy ---------------------------------------------------------------------------------------

TEST_F(TrayWindow, ALaterStartAsksTheFirstToShowItsWindow) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    form.FormCreate();
    SingleInstance first(folder.path());
    ASSERT_EQ(first.Claim(), SingleInstance::Role::First);
    QObject::connect(&first, &SingleInstance::showRequested, &form,
                     &MainWindowHost::ShowMainWindow);
    EXPECT_EQ(form.WindowIfBuilt(), nullptr);
    {
        SingleInstance second(folder.path());
        EXPECT_EQ(second.Claim(), SingleInstance::Role::Second);
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return IsOpen(form); }, 3000));
    // Asked again while shown: it stays shown.
    SingleInstance third(folder.path());
    EXPECT_EQ(third.Claim(), SingleInstance::Role::Second);
    QTest::qWait(100);
    EXPECT_TRUE(IsOpen(form));
}

TEST(SingleInstance, ALockOfAProcessThatDiedIsTakenOver) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    // A process that has ended, and the lock and socket file such a copy leaves behind.
    const pid_t dead = fork();
    if (dead == 0) {
        _exit(0);
    }
    ASSERT_GT(dead, 0);
    waitpid(dead, nullptr, 0);
    QFile lock(folder.filePath("upszelto.lock"));
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.write(QByteArray::number(static_cast<qint64>(dead)) + "\nupszelto\n" +
               QSysInfo::machineHostName().toUtf8() + "\n" + QSysInfo::machineUniqueId() + "\n" +
               QSysInfo::bootUniqueId() + "\n");
    lock.close();
    QFile socket(folder.filePath("upszelto.socket"));
    ASSERT_TRUE(socket.open(QIODevice::WriteOnly));
    socket.close();

    SingleInstance next(folder.path());
    ASSERT_EQ(next.Claim(), SingleInstance::Role::First);
    QSignalSpy asked(&next, &SingleInstance::showRequested);
    SingleInstance later(folder.path());
    EXPECT_EQ(later.Claim(), SingleInstance::Role::Second);
    EXPECT_TRUE(asked.wait(3000));
}

TEST(SingleInstance, TheSocketIsTheUsersAloneAndGoesWithTheCopy) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QByteArray path = QFile::encodeName(folder.filePath("upszelto.socket"));
    {
        SingleInstance first(folder.path());
        ASSERT_EQ(first.Claim(), SingleInstance::Role::First);
        struct stat status {};
        ASSERT_EQ(::stat(path.constData(), &status), 0);
        EXPECT_TRUE(S_ISSOCK(status.st_mode));
        EXPECT_EQ(status.st_mode & 077, 0u) << std::oct << status.st_mode;
    }
    EXPECT_FALSE(QFile::exists(QFile::decodeName(path)));
}

// Writes `bytes` to the first copy's socket in `folder` and closes; false when it cannot.
bool SendToFirst(const QTemporaryDir& folder, const std::string& bytes) {
    const QByteArray path = QFile::encodeName(folder.filePath("upszelto.socket"));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), static_cast<std::size_t>(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool sent =
        fd >= 0 &&
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
        ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
    if (fd >= 0) {
        ::close(fd);
    }
    return sent;
}

TEST(SingleInstance, OnlyTheWholeRequestShowsTheWindow) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    SingleInstance first(folder.path());
    ASSERT_EQ(first.Claim(), SingleInstance::Role::First);
    QSignalSpy asked(&first, &SingleInstance::showRequested);
    for (const std::string bytes : {"", "sho", "hello\n", "SHOW\n", "shown\n"}) {
        ASSERT_TRUE(SendToFirst(folder, bytes)) << bytes;
    }
    QTest::qWait(300);
    EXPECT_EQ(asked.count(), 0);
    // Still listening after the strangers, and one request is one showing.
    ASSERT_TRUE(SendToFirst(folder, "show\n"));
    EXPECT_TRUE(asked.wait(3000));
    QTest::qWait(100);
    EXPECT_EQ(asked.count(), 1);
}

TEST(SingleInstance, ALockOfALiveCopyIsNotTakenHoweverOld) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    // A copy of ours that holds the lock and does not answer: a later start neither runs nor
    // takes the lock.
    QLockFile held(folder.filePath("upszelto.lock"));
    ASSERT_TRUE(held.tryLock(0));
    QFile file(folder.filePath("upszelto.lock"));
    ASSERT_TRUE(file.open(QIODevice::Append));
    ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addDays(-2),
                                 QFileDevice::FileModificationTime));
    file.close();
    SingleInstance later(folder.path());
    EXPECT_EQ(later.Claim(), SingleInstance::Role::Unasked);
}

// "Журнал" ---------------------------------------------------------------------------------------

class HistoryWindow : public ::testing::Test {
protected:
    HistoryWindow() {
        // The trigger "никогда": the outage below starts no countdown.
        store.files[kSettingsPath] = "[UPS]\nCompOff=6\n";
        ConnectWindowToProgram(form, program);
    }

    // One poll tick `seconds` after the last.
    void TickAfter(int seconds) {
        clock.now.unixSeconds += seconds;
        form.Timer1Timer();
    }
    static bool AnyJournalWindow() {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (qobject_cast<TJournalForm*>(widget) != nullptr) {
                return true;
            }
        }
        return false;
    }
    QStringList Lines() { return journal.WindowIfBuilt()->Lines().toPlainText().split('\n'); }

    fakes::FakeSettingsStore store;
    fakes::FakeComPort port;
    fakes::FakePortTable portTable{{{"ttyUSB0", "/fake/dev/ttyUSB0"}}};
    fakes::FakeCountdown countdown;
    fakes::FakePowerRequests power;
    fakes::FakeErrorReporter errors;
    fakes::FakeClock clock{Moment{1'700'000'000 - 1'700'000'000 % 15, 0}};
    fakes::MemoryJournalFile journalFile;
    fakes::FakeNotifier notifier;
    MainWindowHost form;
    EventLog events{clock, journalFile, notifier, errors};
    Program program{
        Platform{store, port, portTable, form, form, countdown, power, events, &events}};
    JournalWindowHost journal{events, clock, form};
};

TEST_F(HistoryWindow, IsBuiltOnlyWhenChosenAndShowsTheRecordsSoFar) {
    fakes::RecordFields mains;
    mains.load = "050";
    fakes::RecordFields outage = mains;
    outage.mains = "000.0";
    outage.flags = "10001001";
    // A record a second, as the poll takes them: `slotCount` slots of the history's 15 seconds.
    const auto answerFor = [&](const fakes::RecordFields& fields, int slotCount) {
        for (int i = 0; i < slotCount * 15; ++i) {
            port.AnswerQueries({fakes::BuildRecord(fields)});
        }
    };
    const auto seconds = [&](int count) {
        for (int i = 0; i < count; ++i) {
            TickAfter(1);
        }
    };
    answerFor(mains, 8);
    answerFor(outage, 4);
    const std::int64_t start = clock.now.unixSeconds;  // on a slot's start
    form.FormCreate();
    seconds(180);  // each answer is handled at the tick after its query
    EXPECT_EQ(journal.WindowIfBuilt(), nullptr);
    EXPECT_FALSE(AnyJournalWindow());

    QAction& item = form.Tray()->N4();
    EXPECT_EQ(item.text(), QString::fromUtf8("Журнал"));
    item.trigger();
    TJournalForm* window = journal.WindowIfBuilt();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), QString::fromUtf8("Журнал"));
    EXPECT_TRUE(window->Lines().isReadOnly());
    EXPECT_TRUE(window->Lines().textInteractionFlags() & Qt::TextSelectableByMouse);

    // Every slot so far, each with its latest record: seconds 1-14 in the first, the outage's
    // first record (second 121) after the mains record of second 120 in the ninth.
    const auto& points = window->Chart().Points();
    ASSERT_EQ(points.size(), 13u);
    EXPECT_EQ(points.front().unixSeconds, start);
    EXPECT_EQ(points.back().unixSeconds, start + 180);
    EXPECT_EQ(points[7].readings.mainsTenths, 2280);
    EXPECT_EQ(points[8].readings.mainsTenths, 0);
    EXPECT_EQ(points[8].readings.loadPercent, 50);

    // The journal's lines, oldest first: the start, then the mains failure at second 121.
    QStringList lines = Lines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines.front().endsWith(" start")) << lines.front().toStdString();
    EXPECT_TRUE(lines.last().startsWith("2023-11-14T22:15:16+00:00 mains-lost mains=0.0V"))
        << lines.last().toStdString();

    // While open, each tick's record and event show at once; mains come back.
    answerFor(mains, 1);
    seconds(15);
    EXPECT_EQ(window->Chart().Points().size(), 14u);
    EXPECT_TRUE(Lines().last().contains(" mains-back ")) << Lines().last().toStdString();

    // Closed, it only hides and takes nothing more.
    window->close();
    EXPECT_FALSE(window->isVisible());
    answerFor(outage, 2);
    const auto lineCount = Lines().size();
    seconds(30);
    EXPECT_EQ(window->Chart().Points().size(), 14u);
    EXPECT_EQ(Lines().size(), lineCount);
    // Opened again, the same window catches up.
    item.trigger();
    EXPECT_EQ(journal.WindowIfBuilt(), window);
    EXPECT_EQ(window->Chart().Points().size(), 16u);
    EXPECT_TRUE(Lines().last().contains(" mains-lost ")) << Lines().last().toStdString();
}

// The colour nearest `color` within `reach` pixels of (x, y), as the sum of the channels'
// differences; 765 when the point is outside the image.
int NearestColour(const QImage& image, int x, int y, const QColor& color, int reach) {
    int best = 765;
    for (int dy = -reach; dy <= reach; ++dy) {
        for (int dx = -reach; dx <= reach; ++dx) {
            if (!image.valid(x + dx, y + dy)) {
                continue;
            }
            const QColor seen = image.pixelColor(x + dx, y + dy);
            best = std::min(best, std::abs(seen.red() - color.red()) +
                                      std::abs(seen.green() - color.green()) +
                                      std::abs(seen.blue() - color.blue()));
        }
    }
    return best;
}

// Whether any pixel of column x between top and bottom is near `color`. A line 2 pixels wide,
// smoothed, covers at least one pixel whole: within 60 of its colour. Background and grid lines
// are more than 200 from every series' colour.
bool ColumnHas(const QImage& image, int x, int top, int bottom, const QColor& color) {
    for (int y = top; y <= bottom; ++y) {
        if (NearestColour(image, x, y, color, 0) < 60) {
            return true;
        }
    }
    return false;
}

TEST(HistoryChartDrawing, ReadingsLandWhereTheirTimeAndValueSayAndGapsStayEmpty) {
    const std::int64_t now = 1'700'000'000 - 1'700'000'000 % 15;
    std::vector<HistoryPoint> points;
    // 230 V in, 225 V out, 13.5 V, load 50 %, charge 100 %: from 20 to 12 hours ago and from
    // 6 hours ago until now; nothing between.
    for (std::int64_t t = now - 20 * 3600; t <= now; t += 15) {
        if (t <= now - 12 * 3600 || t >= now - 6 * 3600) {
            points.push_back({t, Readings{2300, 2250, 135, 50, 100}});
        }
    }
    HistoryChart chart(Language::Russian);
    chart.resize(600, 300);
    chart.SetPoints(points, Moment{now, 0});
    QImage image(chart.size(), QImage::Format_ARGB32);
    chart.render(&image);

    const auto xAt = [&](const QRect& area, double hoursAgo) {
        return area.left() + static_cast<int>(std::lround(area.width() * (24 - hoursAgo) / 24));
    };
    const auto yAt = [](const QRect& area, double fraction) {  // 0: top, 1: bottom
        return area.top() + static_cast<int>(std::lround(area.height() * fraction));
    };
    const QRect volts = chart.PlotArea(0);
    const QRect battery = chart.PlotArea(1);
    const QRect percent = chart.PlotArea(2);
    ASSERT_LT(volts.bottom(), battery.top());
    ASSERT_LT(battery.bottom(), percent.top());
    ASSERT_GT(percent.height(), 40);

    for (const double hoursAgo : {16.0, 13.0, 3.0, 0.5}) {
        SCOPED_TRACE(hoursAgo);
        // 230 and 225 V on a 224-230 V scale; 13.5 V on a 10-20 V scale; 50 and 100 %.
        EXPECT_LT(NearestColour(image, xAt(volts, hoursAgo), yAt(volts, 0.0),
                                HistoryChart::SeriesColor(ChartSeries::Mains), 2),
                  60);
        EXPECT_LT(NearestColour(image, xAt(volts, hoursAgo), yAt(volts, 5.0 / 6),
                                HistoryChart::SeriesColor(ChartSeries::Output), 2),
                  60);
        EXPECT_LT(NearestColour(image, xAt(battery, hoursAgo), yAt(battery, 0.65),
                                HistoryChart::SeriesColor(ChartSeries::Battery), 2),
                  60);
        EXPECT_LT(NearestColour(image, xAt(percent, hoursAgo), yAt(percent, 0.5),
                                HistoryChart::SeriesColor(ChartSeries::Load), 2),
                  60);
        EXPECT_LT(NearestColour(image, xAt(percent, hoursAgo), yAt(percent, 0.0),
                                HistoryChart::SeriesColor(ChartSeries::Charge), 2),
                  60);
        // Not elsewhere in the column: the load is not drawn at 25 or 75 %.
        EXPECT_GT(NearestColour(image, xAt(percent, hoursAgo), yAt(percent, 0.25),
                                HistoryChart::SeriesColor(ChartSeries::Load), 3),
                  200);
    }
    // The gap, and the hours before the first record: no line of any series.
    for (const double hoursAgo : {11.0, 9.0, 7.0, 22.0}) {
        SCOPED_TRACE(hoursAgo);
        for (const auto& [area, series] :
             {std::pair{volts, ChartSeries::Mains}, std::pair{volts, ChartSeries::Output},
              std::pair{battery, ChartSeries::Battery}, std::pair{percent, ChartSeries::Load},
              std::pair{percent, ChartSeries::Charge}}) {
            EXPECT_FALSE(ColumnHas(image, xAt(area, hoursAgo), area.top(), area.bottom(),
                                   HistoryChart::SeriesColor(series)))
                << static_cast<int>(series);
        }
    }
}

}  // namespace
}  // namespace zelto
