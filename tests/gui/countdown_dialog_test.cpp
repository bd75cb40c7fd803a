// The shutdown countdown dialog offscreen: its layout, the count, the keys and buttons, the
// refused close requests, and the nested event loop the poll timer keeps running in.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <ostream>

#include <gtest/gtest.h>

#include "qt/countdown_dialog.h"

namespace zelto {
namespace {

// Sends a key the way the keyboard does: to the focused widget, from where unused keys travel
// up to the dialog.
void PressKey(int key, Qt::KeyboardModifiers modifiers, const QString& text) {
    QWidget* target = QApplication::focusWidget();
    ASSERT_NE(target, nullptr) << "nothing has the keyboard focus";
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QApplication::sendEvent(target, &release);
}

class CountdownDialogTest : public ::testing::Test {
protected:
    CountdownDialogTest() {
        // A countdown that never ends would hang the whole run; end it and say so.
        watchdog_.setSingleShot(true);
        watchdog_.setInterval(15000);
        QObject::connect(&watchdog_, &QTimer::timeout, &dialog_, [this] {
            ADD_FAILURE() << "the countdown was still showing after 15 s";
            dialog_.EndForExit();
        });
    }

    // Runs the countdown, timing it.
    int Run(std::uint16_t& seconds) {
        watchdog_.start();
        clock_.start();
        const int result = dialog_.Run(seconds);
        elapsedMs_ = clock_.elapsed();
        watchdog_.stop();
        return result;
    }

    // Does `action` `delayMs` after the next Run() has shown the dialog, inside its event loop.
    void WhenShown(std::function<void()> action, int delayMs = 100) {
        QTimer::singleShot(delayMs, &dialog_, std::move(action));
    }

    // From now on the dialog's seconds come by hand, as the soak fires them: Timer1 never fires
    // by itself, and Tick() fires it once while the dialog shows.
    void CountByHand() {
        ASSERT_NE(Timer1(), nullptr);
        Timer1()->setInterval(24 * 3600 * 1000);
    }
    void Tick() {
        if (dialog_.isVisible()) {
            ++ticks_;
            QMetaObject::invokeMethod(Timer1(), "timeout");
        }
    }
    // Ticks by hand every few milliseconds while the dialog shows, noting what it showed before
    // each tick.
    void TickWhileShowing(QStringList* shown) {
        QObject::connect(&hand_, &QTimer::timeout, &dialog_, [this, shown] {
            if (dialog_.isVisible()) {
                *shown << Label("Label2")->text();
                Tick();
            }
        });
        hand_.start(5);
    }

    QTimer* Timer1() { return dialog_.findChild<QTimer*>(QStringLiteral("Timer1")); }
    QLabel* Label(const char* name) { return dialog_.findChild<QLabel*>(QLatin1String(name)); }
    QPushButton* Button(const char* name) {
        return dialog_.findChild<QPushButton*>(QLatin1String(name));
    }

    CountdownDialog dialog_;
    QTimer watchdog_;
    QElapsedTimer clock_;
    qint64 elapsedMs_ = 0;
    QTimer hand_;
    int ticks_ = 0;  // fired by hand
};

struct ControlRow {
    const char* name;
    QRect geometry;
    const char* text;
};

const ControlRow kControls[] = {
    {"Label1", QRect(56, 24, 167, 13), "Система будет выключена через"},
    {"Label2", QRect(131, 48, 18, 13), "000"},
    {"Button2", QRect(16, 80, 121, 25), "Выключить сейчас"},
    {"Button1", QRect(200, 80, 75, 25), "Отмена"},
};

TEST_F(CountdownDialogTest, WindowIsAFixedCaptionedDialogWithoutClose) {
    EXPECT_EQ(dialog_.windowTitle(), QStringLiteral("ZELTO Homeline"));
    EXPECT_EQ(dialog_.size(), QSize(295, 118));
    EXPECT_EQ(dialog_.minimumSize(), dialog_.maximumSize());
    EXPECT_EQ(dialog_.font().family(), QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(dialog_.font().pointSize(), 8);
    EXPECT_EQ(dialog_.windowType(), Qt::Dialog);
    EXPECT_FALSE(dialog_.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(dialog_.isModal());
    EXPECT_FALSE(dialog_.isVisible());
}

TEST_F(CountdownDialogTest, ControlsSitWhereDesignedWithTheirTexts) {
    for (const ControlRow& row : kControls) {
        SCOPED_TRACE(row.name);
        QWidget* control = dialog_.findChild<QWidget*>(QLatin1String(row.name));
        ASSERT_NE(control, nullptr);
        const QString text = qobject_cast<QLabel*>(control)
                                 ? qobject_cast<QLabel*>(control)->text()
                                 : qobject_cast<QPushButton*>(control)->text();
        EXPECT_EQ(text, QString::fromUtf8(row.text));
        EXPECT_EQ(control->pos(), row.geometry.topLeft());
        EXPECT_EQ(control->height(), row.geometry.height());
        if (qobject_cast<QPushButton*>(control)) {
            EXPECT_EQ(control->width(), row.geometry.width());
        } else {
            // A label keeps its designed width unless its text needs more.
            EXPECT_GE(control->width(), row.geometry.width());
            EXPECT_GE(control->width(), control->fontMetrics().horizontalAdvance(text));
        }
    }
}

TEST_F(CountdownDialogTest, NeitherButtonIsADefaultButton) {
    WhenShown([this] {
        EXPECT_FALSE(Button("Button1")->isDefault());
        EXPECT_FALSE(Button("Button2")->isDefault());
        dialog_.Cancel();
    });
    std::uint16_t seconds = 10;
    EXPECT_EQ(Run(seconds), CountdownCancelled);
}

TEST_F(CountdownDialogTest, ZeroShowsZeroAndGoesOnTheFirstTick) {
    QString shown;
    int offCentre = 1 << 20;  // stays far off unless measured
    WhenShown([&] {
        shown = Label("Label2")->text();
        const QPoint screenCentre = QGuiApplication::primaryScreen()->geometry().center();
        offCentre = (dialog_.frameGeometry().center() - screenCentre).manhattanLength();
        // For a person to look at; not compared.
        QDir().mkpath(QStringLiteral(ZELTO_BUILD_DIR "/screenshots"));
        dialog_.grab().save(QStringLiteral(ZELTO_BUILD_DIR "/screenshots/countdown_dialog.png"));
    });
    std::uint16_t seconds = 0;
    EXPECT_EQ(Run(seconds), CountdownGo);
    EXPECT_EQ(shown, QStringLiteral("0"));
    EXPECT_LE(offCentre, 2);
    EXPECT_EQ(seconds, 0);
    EXPECT_GE(elapsedMs_, 900);
    EXPECT_LE(elapsedMs_, 2500);
}

TEST_F(CountdownDialogTest, CountsDownOnePerTickAndGoesAtZero) {
    CountByHand();
    QStringList shown;
    TickWhileShowing(&shown);
    std::uint16_t seconds = 3;
    EXPECT_EQ(Run(seconds), CountdownGo);
    // The dialog ends in the tick that shows 0.
    EXPECT_EQ(shown, (QStringList{"3", "2", "1"}));
    EXPECT_EQ(Label("Label2")->text(), QStringLiteral("0"));
    EXPECT_EQ(seconds, 0);
    EXPECT_EQ(ticks_, 3);
}

TEST_F(CountdownDialogTest, CancelButtonHasTheFocusAtFirstShowing) {
    QWidget* focused = nullptr;
    WhenShown([&] {
        focused = QApplication::focusWidget();
        dialog_.Cancel();
    });
    std::uint16_t seconds = 10;
    EXPECT_EQ(Run(seconds), CountdownCancelled);
    EXPECT_EQ(focused, Button("Button1"));
}

struct KeyRow {
    const char* name;
    int key;
    Qt::KeyboardModifiers modifiers;
    const char* text;
};

void PrintTo(const KeyRow& row, std::ostream* out) {
    *out << row.name;
}

class CountdownKeyTest : public CountdownDialogTest,
                         public ::testing::WithParamInterface<KeyRow> {};

TEST_P(CountdownKeyTest, KeyAsSoonAsItOpensCancels) {
    const KeyRow row = GetParam();
    WhenShown([&] { PressKey(row.key, row.modifiers, QString::fromLatin1(row.text)); });
    std::uint16_t seconds = 10;
    EXPECT_EQ(Run(seconds), CountdownCancelled);
    EXPECT_EQ(seconds, 10);
    EXPECT_LT(elapsedMs_, 1000);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, CountdownKeyTest,
    ::testing::Values(KeyRow{"Return", Qt::Key_Return, Qt::NoModifier, "\r"},
                      KeyRow{"KeypadEnter", Qt::Key_Enter, Qt::KeypadModifier, "\r"},
                      KeyRow{"Escape", Qt::Key_Escape, Qt::NoModifier, "\x1b"},
                      KeyRow{"Space", Qt::Key_Space, Qt::NoModifier, " "}),
    [](const ::testing::TestParamInfo<KeyRow>& info) { return std::string(info.param.name); });

TEST_F(CountdownDialogTest, TabThenEnterSwitchesOffNow) {
    QWidget* afterTab = nullptr;
    WhenShown([&] {
        PressKey(Qt::Key_Tab, Qt::NoModifier, QStringLiteral("\t"));
        afterTab = QApplication::focusWidget();
        PressKey(Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    });
    std::uint16_t seconds = 10;
    EXPECT_EQ(Run(seconds), CountdownGo);
    EXPECT_EQ(afterTab, Button("Button2"));
    EXPECT_LT(elapsedMs_, 1000);
}

TEST_F(CountdownDialogTest, ButtonsGiveTheirResults) {
    std::uint16_t seconds = 10;
    WhenShown([this] { Button("Button2")->click(); });
    EXPECT_EQ(Run(seconds), CountdownGo);
    WhenShown([this] { Button("Button1")->click(); });
    EXPECT_EQ(Run(seconds), CountdownCancelled);
}

TEST_F(CountdownDialogTest, LaterShowingsGiveTheFocusBackToTheLastFocusedButton) {
    std::uint16_t seconds = 10;
    // Move to "Выключить сейчас", then cancel with Escape, which works from either button.
    WhenShown([] {
        PressKey(Qt::Key_Tab, Qt::NoModifier, QStringLiteral("\t"));
        PressKey(Qt::Key_Escape, Qt::NoModifier, QStringLiteral("\x1b"));
    });
    ASSERT_EQ(Run(seconds), CountdownCancelled);

    QWidget* focused = nullptr;
    WhenShown([&] {
        focused = QApplication::focusWidget();
        PressKey(Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    });
    EXPECT_EQ(Run(seconds), CountdownGo);
    EXPECT_EQ(focused, Button("Button2"));
}

TEST_F(CountdownDialogTest, CloseRequestsAreRefused) {
    bool closed = true;
    bool stillShowing = false;
    WhenShown([&] {
        closed = dialog_.close();
        stillShowing = dialog_.isVisible();
    });
    WhenShown([this] { dialog_.Cancel(); }, 300);
    std::uint16_t seconds = 10;
    EXPECT_EQ(Run(seconds), CountdownCancelled);
    EXPECT_FALSE(closed);
    EXPECT_TRUE(stillShowing);
}

TEST_F(CountdownDialogTest, CancelFromAnotherTimerEndsItCancelled) {
    // The way mains coming back end it: from the poll timer's tick inside the dialog's loop.
    QTimer tick;
    tick.setSingleShot(true);
    QObject::connect(&tick, &QTimer::timeout, [this] { dialog_.Cancel(); });
    tick.start(200);
    std::uint16_t seconds = 10;
    EXPECT_EQ(Run(seconds), CountdownCancelled);
    EXPECT_EQ(seconds, 10);
    EXPECT_LT(elapsedMs_, 1000);
}

TEST_F(CountdownDialogTest, CancelWhileHiddenDoesNotShortenTheNextShowing) {
    dialog_.Cancel();
    dialog_.Cancel();
    CountByHand();
    QStringList shown;
    TickWhileShowing(&shown);
    std::uint16_t seconds = 2;
    EXPECT_EQ(Run(seconds), CountdownGo);
    EXPECT_EQ(ticks_, 2);
}

TEST_F(CountdownDialogTest, OtherTimersKeepFiringWhileItCounts) {
    CountByHand();
    // The countdown's one second comes only after the other timer fired seven times in its loop.
    int ticks = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (++ticks == 7) {
            Tick();
        }
    });
    poll.start(5);
    std::uint16_t seconds = 1;
    EXPECT_EQ(Run(seconds), CountdownGo);
    EXPECT_GE(ticks, 7);
    EXPECT_EQ(ticks_, 1);
}

TEST_F(CountdownDialogTest, EndForExitEndsItWithProgramEnding) {
    WhenShown([this] { dialog_.EndForExit(); });
    std::uint16_t seconds = 10;
    EXPECT_EQ(Run(seconds), CountdownProgramEnding);
    EXPECT_FALSE(dialog_.isVisible());
}

TEST_F(CountdownDialogTest, LoopEndedFromOutsideCountsAsProgramEnding) {
    // What the application quitting under the dialog looks like to it.
    WhenShown([this] { dialog_.hide(); });
    std::uint16_t seconds = 10;
    EXPECT_EQ(Run(seconds), CountdownProgramEnding);
}

TEST_F(CountdownDialogTest, TimerStopsWhenTheDialogEnds) {
    QTimer* timer = dialog_.findChild<QTimer*>(QStringLiteral("Timer1"));
    ASSERT_NE(timer, nullptr);
    bool runningWhileShown = false;
    WhenShown([&] {
        runningWhileShown = timer->isActive();
        dialog_.Cancel();
    });
    std::uint16_t seconds = 10;
    EXPECT_EQ(Run(seconds), CountdownCancelled);
    EXPECT_TRUE(runningWhileShown);
    EXPECT_FALSE(timer->isActive());
    EXPECT_EQ(timer->interval(), 1000);
    EXPECT_EQ(timer->timerType(), Qt::PreciseTimer);
}

TEST_F(CountdownDialogTest, LargestCountFitsItsLabel) {
    QString shown;
    int width = 0;
    int needed = 0;
    WhenShown([&] {
        shown = Label("Label2")->text();
        width = Label("Label2")->width();
        needed = Label("Label2")->fontMetrics().horizontalAdvance(shown);
        dialog_.Cancel();
    });
    std::uint16_t seconds = 65535;
    EXPECT_EQ(Run(seconds), CountdownCancelled);
    EXPECT_EQ(shown, QStringLiteral("65535"));
    EXPECT_GE(width, needed);
}

}  // namespace
}  // namespace zelto
