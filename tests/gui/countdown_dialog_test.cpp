// The shutdown countdown dialog offscreen: its layout, the count it is told, the keys and buttons
// it reports, and the refused close requests.
#include <QApplication>
#include <QDir>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include <cstdint>
#include <ostream>
#include <vector>

#include <gtest/gtest.h>

#include "core/base/product.h"
#include "core/program/dialog_layouts.h"
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
        QObject::connect(&dialog_, &TForm2::answered,
                         [this](int result) { answers_.push_back(result); });
    }

    // Opens the countdown and lets the window system make it the active window.
    void Open(std::uint16_t seconds) {
        dialog_.OpenCountdown(seconds, kModelCaption);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog_, 2000));
    }
    QLabel* Label(const char* name) { return dialog_.findChild<QLabel*>(QLatin1String(name)); }
    QPushButton* Button(const char* name) {
        return dialog_.findChild<QPushButton*>(QLatin1String(name));
    }

    TForm2 dialog_{Language::Russian};
    std::vector<int> answers_;
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

// In English every text fits its control at the dialog's font; and a screenshot for a person.
TEST(CountdownDialogInEnglish, TextsFitTheirControls) {
    TForm2 dialog(Language::English);
    dialog.OpenCountdown(30, kModelCaption);
    ASSERT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.findChild<QPushButton*>("Button1")->text(), QStringLiteral("Cancel"));
    EXPECT_EQ(dialog.findChild<QPushButton*>("Button2")->text(), QStringLiteral("Shut down now"));
    for (const char* name : {"Button1", "Button2"}) {
        const auto button = dialog.findChild<QPushButton*>(QLatin1String(name));
        EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()) + 8, button->width())
            << name;
    }
    const auto label = dialog.findChild<QLabel*>(QStringLiteral("Label1"));
    EXPECT_EQ(label->text(), QStringLiteral("The system shuts down in"));
    EXPECT_LE(label->x() + label->fontMetrics().horizontalAdvance(label->text()), kCountdownWidth);
    QDir().mkpath(QStringLiteral(ZELTO_BUILD_DIR "/screenshots"));
    EXPECT_TRUE(
        dialog.grab().save(QStringLiteral(ZELTO_BUILD_DIR "/screenshots/countdown_dialog_en.png")));
    dialog.CloseCountdown();
}

TEST_F(CountdownDialogTest, OpensCentredWithTheCountAndShowsEachSecond) {
    dialog_.OpenCountdown(3, kModelCaption);
    ASSERT_TRUE(dialog_.isVisible());
    EXPECT_EQ(Label("Label2")->text(), QStringLiteral("3"));
    const QPoint screenCentre = QGuiApplication::primaryScreen()->geometry().center();
    EXPECT_LE((dialog_.frameGeometry().center() - screenCentre).manhattanLength(), 2);
    // For a person to look at; not compared.
    QDir().mkpath(QStringLiteral(ZELTO_BUILD_DIR "/screenshots"));
    dialog_.grab().save(QStringLiteral(ZELTO_BUILD_DIR "/screenshots/countdown_dialog.png"));
    dialog_.ShowCountdownSeconds(2);
    EXPECT_EQ(Label("Label2")->text(), QStringLiteral("2"));
    dialog_.ShowCountdownSeconds(65535);
    EXPECT_GE(Label("Label2")->width(),
              Label("Label2")->fontMetrics().horizontalAdvance(QStringLiteral("65535")));
    EXPECT_FALSE(Button("Button1")->isDefault());
    EXPECT_FALSE(Button("Button2")->isDefault());
    dialog_.CloseCountdown();
    EXPECT_FALSE(dialog_.isVisible());
    // It counts nothing by itself: the program tells it every second.
    EXPECT_TRUE(answers_.empty());
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
    Open(10);
    EXPECT_EQ(QApplication::focusWidget(), Button("Button1"));
    PressKey(row.key, row.modifiers, QString::fromLatin1(row.text));
    EXPECT_EQ(answers_, std::vector<int>{CountdownCancelled});
}

INSTANTIATE_TEST_SUITE_P(
    Keys, CountdownKeyTest,
    ::testing::Values(KeyRow{"Return", Qt::Key_Return, Qt::NoModifier, "\r"},
                      KeyRow{"KeypadEnter", Qt::Key_Enter, Qt::KeypadModifier, "\r"},
                      KeyRow{"Escape", Qt::Key_Escape, Qt::NoModifier, "\x1b"},
                      KeyRow{"Space", Qt::Key_Space, Qt::NoModifier, " "}),
    [](const ::testing::TestParamInfo<KeyRow>& info) { return std::string(info.param.name); });

TEST_F(CountdownDialogTest, TabThenEnterSwitchesOffNowAndButtonsGiveTheirResults) {
    Open(10);
    PressKey(Qt::Key_Tab, Qt::NoModifier, QStringLiteral("\t"));
    EXPECT_EQ(QApplication::focusWidget(), Button("Button2"));
    PressKey(Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    Button("Button1")->click();
    Button("Button2")->click();
    EXPECT_EQ(answers_, (std::vector<int>{CountdownGo, CountdownCancelled, CountdownGo}));
}

TEST_F(CountdownDialogTest, LaterShowingsGiveTheFocusBackToTheLastFocusedButton) {
    Open(10);
    PressKey(Qt::Key_Tab, Qt::NoModifier, QStringLiteral("\t"));
    dialog_.CloseCountdown();
    dialog_.OpenCountdown(10, kModelCaption);
    EXPECT_EQ(dialog_.focusWidget(), Button("Button2"));
}

TEST_F(CountdownDialogTest, CloseRequestsAreRefused) {
    Open(10);
    EXPECT_FALSE(dialog_.close());
    EXPECT_TRUE(dialog_.isVisible());
    EXPECT_TRUE(answers_.empty());
}

}  // namespace
}  // namespace zelto
