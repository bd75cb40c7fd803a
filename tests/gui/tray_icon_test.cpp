// The tray icon offscreen: add / delete / modify and the tip they carry, what the clicks on the
// icon ask for, and PopupMenu1 with its items, pictures and actions.
#include <QAction>
#include <QIcon>
#include <QImage>
#include <QMenu>
#include <QSignalSpy>
#include <QString>
#include <QSystemTrayIcon>

#include <string>

#include <gtest/gtest.h>

#include "qt/images.h"
#include "qt/tray_icon.h"

namespace zelto {
namespace {

QImage Pixels(const QIcon& icon) {
    return icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
}

QImage Pixels(const QPixmap& pixmap) {
    return pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
}

class TrayIconTest : public ::testing::Test {
protected:
    TrayIcon tray_;
};

TEST_F(TrayIconTest, NothingIsInTheTrayUntilAdded) {
    EXPECT_FALSE(tray_.Present());
    EXPECT_FALSE(tray_.SystemTrayIcon()->isVisible());
}

TEST_F(TrayIconTest, AddPutsTheApplicationIconInWithAnEmptyTip) {
    tray_.SetTrayIcon(TrayAdd, AppIcon(), "");
    EXPECT_TRUE(tray_.Present());
    EXPECT_TRUE(tray_.SystemTrayIcon()->isVisible());
    EXPECT_EQ(Pixels(tray_.Icon()), Pixels(AppIcon()));
    EXPECT_TRUE(tray_.ToolTip().isEmpty());
}

TEST_F(TrayIconTest, ModifyChangesPictureAndTipToTheOnesGiven) {
    tray_.SetTrayIcon(TrayAdd, AppIcon(), "");
    tray_.SetTrayIcon(TrayModify, QIcon(ListImage16(8)), "Питание от сети. Заряд батареи: 100%");
    EXPECT_EQ(Pixels(tray_.Icon()), Pixels(ListImage16(8)));
    EXPECT_EQ(tray_.ToolTip(), QString::fromUtf8("Питание от сети. Заряд батареи: 100%"));

    tray_.SetTrayIcon(TrayModify, QIcon(ListImage16(2)), "Питание от UPS. Заряд батареи: 38%");
    EXPECT_EQ(Pixels(tray_.Icon()), Pixels(ListImage16(2)));
    EXPECT_EQ(tray_.ToolTip(), QString::fromUtf8("Питание от UPS. Заряд батареи: 38%"));
    EXPECT_TRUE(tray_.Present());
}

TEST_F(TrayIconTest, ATipLongerThan63CharactersIsCut) {
    tray_.SetTrayIcon(TrayAdd, AppIcon(), std::string(40, 'x') + std::string(30, 'y'));
    EXPECT_EQ(tray_.ToolTip(), QString(40, 'x') + QString(23, 'y'));

    std::string cyrillic;
    for (int i = 0; i < 70; ++i) {
        cyrillic += "ж";
    }
    tray_.SetTrayIcon(TrayModify, QIcon(ListImage16(0)), cyrillic);
    EXPECT_EQ(tray_.ToolTip(), QString(63, QChar(0x0436)));
}

TEST_F(TrayIconTest, ASecondAddLeavesTheIconAsItWas) {
    tray_.SetTrayIcon(TrayAdd, AppIcon(), "");
    tray_.SetTrayIcon(TrayAdd, QIcon(ListImage16(3)), "другой");
    EXPECT_EQ(Pixels(tray_.Icon()), Pixels(AppIcon()));
    EXPECT_TRUE(tray_.ToolTip().isEmpty());
}

TEST_F(TrayIconTest, ModifyBeforeAddPutsNothingIntoTheTray) {
    tray_.SetTrayIcon(TrayModify, QIcon(ListImage16(8)), "Питание от сети. Заряд батареи: 0%");
    EXPECT_FALSE(tray_.Present());
    EXPECT_FALSE(tray_.SystemTrayIcon()->isVisible());
}

TEST_F(TrayIconTest, DeleteTakesTheIconOutAndLaterModifiesDoNotBringItBack) {
    tray_.SetTrayIcon(TrayAdd, AppIcon(), "");
    tray_.SetTrayIcon(TrayDelete, AppIcon(), "");
    EXPECT_FALSE(tray_.Present());
    EXPECT_FALSE(tray_.SystemTrayIcon()->isVisible());

    tray_.SetTrayIcon(TrayModify, QIcon(ListImage16(8)), "Питание от сети. Заряд батареи: 0%");
    EXPECT_FALSE(tray_.Present());
    EXPECT_FALSE(tray_.SystemTrayIcon()->isVisible());
}

class TrayIconOtherActions : public TrayIconTest, public ::testing::WithParamInterface<int> {};

TEST_P(TrayIconOtherActions, DoNothing) {
    const int action = GetParam();
    tray_.SetTrayIcon(action, AppIcon(), "");
    EXPECT_FALSE(tray_.Present()) << "action " << action << " added the icon";

    tray_.SetTrayIcon(TrayAdd, AppIcon(), "");
    tray_.SetTrayIcon(action, QIcon(ListImage16(8)), "Питание от сети. Заряд батареи: 0%");
    EXPECT_TRUE(tray_.Present()) << "action " << action << " deleted the icon";
    EXPECT_EQ(Pixels(tray_.Icon()), Pixels(AppIcon())) << "action " << action << " modified it";
    EXPECT_TRUE(tray_.ToolTip().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Actions, TrayIconOtherActions, ::testing::Values(-1, 0, 4, 5, 100));

// What each kind of click on the icon asks for; the right button opens the menu by itself.
struct ClickCase {
    const char* name;
    QSystemTrayIcon::ActivationReason reason;
    int toggles;
};

class TrayIconClicks : public TrayIconTest, public ::testing::WithParamInterface<ClickCase> {};

TEST_P(TrayIconClicks, AskForTheirToggles) {
    tray_.SetTrayIcon(TrayAdd, AppIcon(), "");
    QSignalSpy toggles(&tray_, &TrayIcon::ShowHide);
    QSignalSpy exits(&tray_, &TrayIcon::N1Click);
    emit tray_.SystemTrayIcon()->activated(GetParam().reason);
    EXPECT_EQ(toggles.count(), GetParam().toggles);
    EXPECT_EQ(exits.count(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Reasons, TrayIconClicks,
    ::testing::Values(ClickCase{"LeftClick", QSystemTrayIcon::Trigger, 1},
                      // Release, double click, release: three toggles, one net change.
                      ClickCase{"DoubleClick", QSystemTrayIcon::DoubleClick, 2},
                      ClickCase{"RightClick", QSystemTrayIcon::Context, 0},
                      ClickCase{"MiddleClick", QSystemTrayIcon::MiddleClick, 0},
                      ClickCase{"Unknown", QSystemTrayIcon::Unknown, 0}),
    [](const ::testing::TestParamInfo<ClickCase>& info) { return info.param.name; });

TEST_F(TrayIconTest, ADoubleClickAfterItsFirstClickChangesTheWindowOnceInAll) {
    QSignalSpy toggles(&tray_, &TrayIcon::ShowHide);
    emit tray_.SystemTrayIcon()->activated(QSystemTrayIcon::Trigger);
    emit tray_.SystemTrayIcon()->activated(QSystemTrayIcon::DoubleClick);
    EXPECT_EQ(toggles.count() % 2, 1);
}

TEST_F(TrayIconTest, TheMenuIsTheIconsContextMenu) {
    EXPECT_EQ(tray_.SystemTrayIcon()->contextMenu(), &tray_.PopupMenu1());
    EXPECT_EQ(tray_.PopupMenu1().objectName(), "PopupMenu1");
}

TEST_F(TrayIconTest, MenuItemsInOrderWithTheirPictures) {
    const QList<QAction*> items = tray_.PopupMenu1().actions();
    ASSERT_EQ(items.size(), 4);

    EXPECT_EQ(items[0]->objectName(), "N3");
    EXPECT_EQ(items[0]->text(), QString::fromUtf8("Открыть / скрыть"));
    EXPECT_FALSE(items[0]->isSeparator());
    EXPECT_EQ(Pixels(items[0]->icon()), Pixels(ListImage16(11)));

    EXPECT_EQ(items[1]->objectName(), "N4");
    EXPECT_EQ(items[1]->text(), QString::fromUtf8("Журнал"));
    EXPECT_FALSE(items[1]->isSeparator());
    EXPECT_TRUE(items[1]->icon().isNull());

    EXPECT_EQ(items[2]->objectName(), "N2");
    EXPECT_TRUE(items[2]->isSeparator());

    // "Закрыть" stays the last item.
    EXPECT_EQ(items[3]->objectName(), "N1");
    EXPECT_EQ(items[3]->text(), QString::fromUtf8("Закрыть"));
    EXPECT_FALSE(items[3]->isSeparator());
    EXPECT_EQ(Pixels(items[3]->icon()), Pixels(ListImage16(10)));

    // The two pictures are not the same drawing.
    EXPECT_NE(Pixels(items[0]->icon()), Pixels(items[3]->icon()));
}

TEST_F(TrayIconTest, OpenHideIsTheBoldDefaultItemAndCloseIsPlain) {
    EXPECT_EQ(tray_.PopupMenu1().defaultAction(), &tray_.N3());
    EXPECT_TRUE(tray_.N3().font().bold());
    EXPECT_FALSE(tray_.N1().font().bold());
}

TEST_F(TrayIconTest, OpenHideTogglesAndCloseAsksForExit) {
    QSignalSpy toggles(&tray_, &TrayIcon::ShowHide);
    QSignalSpy exits(&tray_, &TrayIcon::N1Click);
    QSignalSpy journals(&tray_, &TrayIcon::JournalRequested);
    tray_.N3().trigger();
    EXPECT_EQ(toggles.count(), 1);
    EXPECT_EQ(exits.count(), 0);
    tray_.N4().trigger();
    EXPECT_EQ(journals.count(), 1);
    EXPECT_EQ(toggles.count(), 1);
    tray_.N1().trigger();
    EXPECT_EQ(toggles.count(), 1);
    EXPECT_EQ(exits.count(), 1);
    EXPECT_EQ(journals.count(), 1);
}

}  // namespace
}  // namespace zelto
