// The About dialog offscreen: its controls where the design puts them, the note, which keys
// close it and which do not, and the main window left as it was.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QTextBlock>
#include <QTimer>
#include <QWidget>

#include <functional>

#include <gtest/gtest.h>

#include "qt/about_box.h"
#include "qt/images.h"

namespace zelto {
namespace {

// Sends a key the way the keyboard does: to the focused widget, from where unused keys travel
// up to the dialog.
void PressKey(int key) {
    QWidget* target = QApplication::focusWidget();
    ASSERT_NE(target, nullptr) << "nothing has the keyboard focus";
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

class AboutBoxTest : public ::testing::Test {
protected:
    template <typename T>
    T* Find(const char* name) {
        auto widget = box_.findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name << " is missing";
        return widget;
    }

    // Opens the dialog modally, runs `inside` in its event loop, and returns exec()'s result;
    // `closed` tells whether `inside` ended it. A dialog still open after `inside` is ended by
    // the test, so nothing hangs.
    int ExecWith(const std::function<void()>& inside, bool* closed = nullptr) {
        bool stillOpen = false;
        QTimer::singleShot(0, &box_, [&] {
            // The keys go where the window system put the focus: wait until the dialog is
            // the active window.
            QElapsedTimer waited;
            waited.start();
            while (!box_.isActiveWindow() && waited.elapsed() < 2000) {
                QApplication::processEvents(QEventLoop::AllEvents, 20);
            }
            inside();
            QApplication::processEvents();
            stillOpen = box_.isVisible();
            if (stillOpen) {
                box_.done(-1);
            }
        });
        const int result = box_.exec();
        if (closed != nullptr) {
            *closed = !stillOpen;
        }
        return result;
    }

    TAboutBox box_{Language::Russian};
};

TEST_F(AboutBoxTest, CaptionAndFixedClientArea) {
    EXPECT_EQ(box_.windowTitle(), "About");
    EXPECT_EQ(box_.size(), QSize(298, 222));
    EXPECT_EQ(box_.minimumSize(), QSize(298, 222));
    EXPECT_EQ(box_.maximumSize(), QSize(298, 222));
    EXPECT_FALSE(box_.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(box_.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(box_.windowFlags() & Qt::WindowCloseButtonHint);
}

struct Placement {
    const char* name;
    const char* parent;
    QRect geometry;
};

TEST_F(AboutBoxTest, ControlsSitWhereTheDesignPutsThem) {
    const Placement placements[] = {
        {"Panel1", "AboutBox", QRect(8, 8, 281, 169)},
        {"ProgramIcon", "Panel1", QRect(24, 16, 33, 33)},
        {"Memo1", "Panel1", QRect(8, 72, 265, 89)},
        {"OKButton", "AboutBox", QRect(111, 188, 75, 25)},
    };
    for (const auto& p : placements) {
        QWidget* widget = Find<QWidget>(p.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->parentWidget()->objectName(), p.parent) << p.name;
        EXPECT_EQ(widget->geometry(), p.geometry) << p.name;
    }
    auto product = Find<QLabel>("ProductName");
    ASSERT_NE(product, nullptr);
    EXPECT_EQ(product->parentWidget()->objectName(), "Panel1");
    EXPECT_EQ(product->pos(), QPoint(88, 16));
    // The whole product line is readable inside the panel.
    EXPECT_GE(product->width(), product->fontMetrics().horizontalAdvance(product->text()));
    EXPECT_LE(product->geometry().right(), 281 - 2);
}

TEST_F(AboutBoxTest, ProductLineAndEmptyLabels) {
    EXPECT_EQ(Find<QLabel>("ProductName")->text(), "ZELTO UPS Control program");
    for (const char* name : {"Comments", "Label23", "Label24"}) {
        auto label = Find<QLabel>(name);
        ASSERT_NE(label, nullptr);
        EXPECT_TRUE(label->text().isEmpty()) << name;
    }
}

TEST_F(AboutBoxTest, TheIconIsTheApplicationIconStretched) {
    auto icon = Find<QLabel>("ProgramIcon");
    ASSERT_NE(icon, nullptr);
    EXPECT_TRUE(icon->hasScaledContents());
    ASSERT_FALSE(icon->pixmap().isNull());
    EXPECT_EQ(icon->pixmap().toImage(), AppIconPixmap(32).toImage());
}

TEST_F(AboutBoxTest, TheMemoIsAReadOnlyEightLineNoteWithAScrollBar) {
    auto memo = Find<QPlainTextEdit>("Memo1");
    ASSERT_NE(memo, nullptr);
    EXPECT_TRUE(memo->isReadOnly());
    EXPECT_EQ(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(memo->palette().color(QPalette::Base), memo->palette().color(QPalette::Button));
    EXPECT_EQ(memo->document()->blockCount(), 8);
    EXPECT_EQ(memo->toPlainText().split('\n'), AboutNoteLines(Language::Russian));
}

TEST_F(AboutBoxTest, TheNoteSaysWhatItShould) {
    const QStringList lines = AboutNoteLines(Language::Russian);
    ASSERT_EQ(lines.size(), 8);
    // Release line with its credit, a contact line, an empty line, a five-line note.
    EXPECT_TRUE(lines[0].contains(QRegularExpression("\\b1\\.0\\b"))) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].contains("2026")) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].contains(QString::fromUtf8("разработчики UPS Zelto")));
    EXPECT_FALSE(lines[1].isEmpty());
    EXPECT_TRUE(lines[2].isEmpty());
    for (int i = 3; i < 8; ++i) {
        EXPECT_FALSE(lines[i].trimmed().isEmpty()) << "note line " << i;
    }
    const QString note = lines.mid(3).join(' ');
    EXPECT_TRUE(note.contains(QString::fromUtf8("30 МБ"))) << note.toStdString();
    EXPECT_TRUE(note.contains(QRegularExpression(QString::fromUtf8("(^|\\s)2,5 МБ"))))
        << note.toStdString();
    EXPECT_TRUE(note.contains(QString::fromUtf8("ошибк"))) << note.toStdString();
    // Russian throughout, apart from the word UPS.
    QString words = note;
    words.remove("UPS");
    EXPECT_TRUE(words.contains(QRegularExpression(QString::fromUtf8("^[А-Яа-яЁё0-9 ,.]+$"))))
        << note.toStdString();
}

TEST_F(AboutBoxTest, OkIsTheDefaultButtonAfterTheMemoInTabOrder) {
    auto memo = Find<QPlainTextEdit>("Memo1");
    auto ok = Find<QPushButton>("OKButton");
    ASSERT_TRUE(memo && ok);
    EXPECT_EQ(ok->text(), "OK");
    EXPECT_TRUE(ok->isDefault());
    QWidget* afterMemo = nullptr;
    QWidget* afterOk = nullptr;
    ExecWith([&] {
        PressKey(Qt::Key_Tab);
        afterMemo = QApplication::focusWidget();
        PressKey(Qt::Key_Tab);
        afterOk = QApplication::focusWidget();
    });
    EXPECT_EQ(afterMemo, ok);
    EXPECT_EQ(afterOk, memo);
}

TEST_F(AboutBoxTest, OpensCentredWithTheMemoFocused) {
    QWidget* focused = nullptr;
    QPoint centre;
    ExecWith([&] {
        focused = QApplication::focusWidget();
        centre = box_.frameGeometry().center();
    });
    EXPECT_EQ(focused, box_.findChild<QWidget*>("Memo1"));
    const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
    EXPECT_LE((centre - screenCentre).manhattanLength(), 2);
}

TEST_F(AboutBoxTest, EveryOpeningStartsWithTheMemoFocused) {
    ExecWith([&] {
        Find<QPushButton>("OKButton")->setFocus();
        PressKey(Qt::Key_Return);
    });
    QWidget* focused = nullptr;
    ExecWith([&] { focused = QApplication::focusWidget(); });
    EXPECT_EQ(focused, box_.findChild<QWidget*>("Memo1"));
}

TEST_F(AboutBoxTest, OkClosesWithResultOne) {
    bool closed = false;
    const int result = ExecWith([&] { Find<QPushButton>("OKButton")->click(); }, &closed);
    EXPECT_TRUE(closed);
    EXPECT_EQ(result, 1);
}

TEST_F(AboutBoxTest, EnterOnOkClosesWithResultOne) {
    bool closed = false;
    const int result = ExecWith(
        [&] {
            Find<QPushButton>("OKButton")->setFocus();
            PressKey(Qt::Key_Return);
        },
        &closed);
    EXPECT_TRUE(closed);
    EXPECT_EQ(result, 1);
}

struct KeyCase {
    const char* name;
    int key;
    bool onOk;  // the OK button has the focus rather than the memo
};

class AboutBoxKeys : public AboutBoxTest, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(AboutBoxKeys, LeaveTheDialogOpen) {
    bool closed = true;
    ExecWith(
        [&] {
            if (GetParam().onOk) {
                Find<QPushButton>("OKButton")->setFocus();
            }
            PressKey(GetParam().key);
        },
        &closed);
    EXPECT_FALSE(closed);
}

INSTANTIATE_TEST_SUITE_P(Keys, AboutBoxKeys,
                         ::testing::Values(KeyCase{"EnterInTheMemo", Qt::Key_Return, false},
                                           KeyCase{"KeypadEnterInTheMemo", Qt::Key_Enter, false},
                                           KeyCase{"EscapeInTheMemo", Qt::Key_Escape, false},
                                           KeyCase{"EscapeOnOk", Qt::Key_Escape, true}),
                         [](const ::testing::TestParamInfo<KeyCase>& info) {
                             return info.param.name;
                         });

TEST_F(AboutBoxTest, TheTitleBarCloseEndsIt) {
    bool closed = false;
    ExecWith([&] { box_.close(); }, &closed);
    EXPECT_TRUE(closed);
}

TEST_F(AboutBoxTest, OpeningAndClosingLeavesTheMainWindowAsItWas) {
    QWidget mainWindow;
    mainWindow.resize(409, 255);
    mainWindow.show();
    TAboutBox box(Language::Russian, &mainWindow);
    QTimer::singleShot(0, &box, [&] { box.findChild<QPushButton*>("OKButton")->click(); });
    box.exec();
    EXPECT_TRUE(mainWindow.isVisible());
    EXPECT_FALSE(mainWindow.isMinimized());

    mainWindow.hide();
    QTimer::singleShot(0, &box, [&] { box.close(); });
    box.exec();
    EXPECT_FALSE(mainWindow.isVisible());
}

TEST_F(AboutBoxTest, ScreenshotForAPersonToLookAt) {
    QImage shot;
    ExecWith([&] { shot = box_.grab().toImage(); });
    ASSERT_FALSE(shot.isNull());
    EXPECT_EQ(shot.size(), QSize(298, 222));
    const QString path = QDir(ZELTO_BUILD_DIR).filePath("about_box.png");
    EXPECT_TRUE(shot.save(path)) << path.toStdString();
}

// In English the note wraps no line that the Russian one keeps whole, so it reads in the same
// shape; and a screenshot beside the Russian one.
TEST(AboutBoxInEnglish, TheNoteKeepsItsShapeAndAScreenshot) {
    TAboutBox box(Language::English);
    box.show();
    const auto memo = box.findChild<QPlainTextEdit*>("Memo1");
    ASSERT_NE(memo, nullptr);
    const QStringList english = AboutNoteLines(Language::English);
    const QStringList russian = AboutNoteLines(Language::Russian);
    EXPECT_EQ(memo->toPlainText().split('\n'), english);
    ASSERT_EQ(english.size(), russian.size());
    const int room =
        memo->viewport()->width() - 2 * static_cast<int>(memo->document()->documentMargin());
    for (int i = 0; i < english.size(); ++i) {
        if (memo->fontMetrics().horizontalAdvance(russian[i]) <= room) {
            EXPECT_LE(memo->fontMetrics().horizontalAdvance(english[i]), room)
                << english[i].toStdString();
        }
    }
    EXPECT_TRUE(english[6].contains(QStringLiteral("2.5 MB"))) << english[6].toStdString();
    const QString path = QDir(ZELTO_BUILD_DIR).filePath("about_box_en.png");
    EXPECT_TRUE(box.grab().save(path)) << path.toStdString();
}

}  // namespace
}  // namespace zelto
