// Showing and hiding the main window from the tray, offscreen: WindowHidden follows, a shown
// window is restored and in front (or the modal dialog over it is), hiding leaves no window.
#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include "qt/window_visibility.h"

namespace zelto {
namespace {

class WindowVisibilityTest : public ::testing::Test {
protected:
    WindowVisibilityTest() { window_.resize(200, 100); }

    QWidget window_;
    bool windowHidden_ = true;
};

TEST_F(WindowVisibilityTest, AHiddenWindowComesBackInFront) {
    ShowHide(window_, windowHidden_);
    EXPECT_FALSE(windowHidden_);
    EXPECT_TRUE(window_.isVisible());
    QApplication::processEvents();
    EXPECT_EQ(QApplication::activeWindow(), &window_);
}

TEST_F(WindowVisibilityTest, AShownWindowIsHidden) {
    ShowHide(window_, windowHidden_);
    ShowHide(window_, windowHidden_);
    EXPECT_TRUE(windowHidden_);
    EXPECT_FALSE(window_.isVisible());
}

TEST_F(WindowVisibilityTest, EachToggleFlipsBothTheWindowAndTheFlag) {
    for (int i = 1; i <= 5; ++i) {
        ShowHide(window_, windowHidden_);
        const bool shown = i % 2 == 1;
        EXPECT_EQ(window_.isVisible(), shown) << "after toggle " << i;
        EXPECT_EQ(windowHidden_, !shown) << "after toggle " << i;
    }
}

TEST_F(WindowVisibilityTest, AWindowHiddenWhileMinimisedComesBackRestored) {
    ShowHide(window_, windowHidden_);
    window_.showMinimized();
    ASSERT_TRUE(window_.isMinimized());
    ShowHide(window_, windowHidden_);
    ShowHide(window_, windowHidden_);
    EXPECT_TRUE(window_.isVisible());
    EXPECT_FALSE(window_.isMinimized());
}

TEST_F(WindowVisibilityTest, HideToTrayHidesAndSetsTheFlag) {
    ShowHide(window_, windowHidden_);
    HideToTray(window_, windowHidden_);
    EXPECT_TRUE(windowHidden_);
    EXPECT_FALSE(window_.isVisible());
    // One toggle brings it back.
    ShowHide(window_, windowHidden_);
    EXPECT_TRUE(window_.isVisible());
}

TEST_F(WindowVisibilityTest, AnOpenModalDialogComesToTheFrontInsteadOfTheWindow) {
    ShowHide(window_, windowHidden_);
    QDialog dialog(&window_);
    dialog.resize(100, 50);
    bool dialogWasActive = false;
    QTimer::singleShot(0, &dialog, [&] {
        HideToTray(window_, windowHidden_);
        window_.activateWindow();
        ShowHide(window_, windowHidden_);
        QApplication::processEvents();
        dialogWasActive = QApplication::activeWindow() == &dialog;
        dialog.reject();
    });
    QTimer watchdog;
    QObject::connect(&watchdog, &QTimer::timeout, &dialog, &QDialog::reject);
    watchdog.start(5000);
    dialog.exec();
    EXPECT_TRUE(dialogWasActive);
    EXPECT_TRUE(window_.isVisible());
    EXPECT_FALSE(windowHidden_);
}

}  // namespace
}  // namespace zelto
