// The error box: one at a time, never blocking, with the full-stop rule applied.
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>

#include <gtest/gtest.h>

#include <ostream>

#include "qt/message_box_reporter.h"

namespace zelto {
namespace {

std::vector<QMessageBox*> VisibleBoxes() {
    std::vector<QMessageBox*> boxes;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto box = qobject_cast<QMessageBox*>(widget); box != nullptr && box->isVisible()) {
            boxes.push_back(box);
        }
    }
    return boxes;
}

void CloseWithOk(QMessageBox* box) {
    QAbstractButton* ok = box->button(QMessageBox::Ok);
    ASSERT_NE(ok, nullptr);
    ok->click();
    // The box deletes itself later; let that happen so the next check sees the real state.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST(MessageBoxReporter, ShowsAnErrorBoxWithOneOkButtonAndTheTitle) {
    MessageBoxReporter reporter;
    reporter.Report("Range check error");

    const auto boxes = VisibleBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    QMessageBox* box = boxes.front();
    EXPECT_EQ(box, reporter.OpenBox());
    EXPECT_EQ(box->icon(), QMessageBox::Critical);
    EXPECT_EQ(box->windowTitle(), QString("UPS Zelto"));
    EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
    EXPECT_EQ(box->buttons().size(), 1);
    EXPECT_EQ(box->windowModality(), Qt::NonModal);
    CloseWithOk(box);
}

struct TextCase {
    const char* reported;
    const char* shown;
};

void PrintTo(const TextCase& c, std::ostream* os) {
    *os << c.reported;
}

class MessageBoxText : public ::testing::TestWithParam<TextCase> {};

TEST_P(MessageBoxText, AppliesTheFullStopRuleAndShowsPlainText) {
    MessageBoxReporter reporter;
    reporter.Report(GetParam().reported);
    QMessageBox* box = reporter.OpenBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), QString::fromUtf8(GetParam().shown));
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
    CloseWithOk(box);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, MessageBoxText,
    ::testing::Values(
        TextCase{"Range check error", "Range check error."},
        TextCase{"'12a' is not a valid integer value", "'12a' is not a valid integer value."},
        TextCase{"Invalid data type for 'COM1'", "Invalid data type for 'COM1'"},
        TextCase{"Unable to write to /tmp/x (denied)", "Unable to write to /tmp/x (denied)"},
        TextCase{"Unable to write to /home/a<b>/UPSZelto.ini",
                 "Unable to write to /home/a<b>/UPSZelto.ini."},
        TextCase{"'Ошибка'", "'Ошибка'"}, TextCase{"Ошибка", "Ошибка."}));

TEST(MessageBoxReporter, AFurtherReportWaitsAndShowsWhenTheBoxCloses) {
    MessageBoxReporter reporter;
    reporter.Report("Integer overflow");
    reporter.Report("Range check error");
    reporter.Report("Integer overflow");

    auto boxes = VisibleBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes.front()->text(), QString("Integer overflow."));
    CloseWithOk(boxes.front());
    boxes = VisibleBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes.front()->text(), QString("Range check error."));
    EXPECT_EQ(boxes.front(), reporter.OpenBox());
    CloseWithOk(boxes.front());
    // The repeated text was not queued twice.
    EXPECT_TRUE(VisibleBoxes().empty());
    EXPECT_EQ(reporter.OpenBox(), nullptr);
}

TEST(MessageBoxReporter, ClosingWithEscapeOrTheTitleBarAlsoShowsTheNext) {
    MessageBoxReporter reporter;
    reporter.Report("first");
    reporter.Report("second");
    reporter.Report("third");
    ASSERT_NE(reporter.OpenBox(), nullptr);
    QTest::keyClick(reporter.OpenBox(), Qt::Key_Escape);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_NE(reporter.OpenBox(), nullptr);
    EXPECT_EQ(reporter.OpenBox()->text(), QString("second."));
    reporter.OpenBox()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_NE(reporter.OpenBox(), nullptr);
    EXPECT_EQ(reporter.OpenBox()->text(), QString("third."));
    EXPECT_EQ(VisibleBoxes().size(), 1u);
    CloseWithOk(reporter.OpenBox());
}

TEST(MessageBoxReporter, AfterTheBoxIsClosedTheNextReportOpensANewOne) {
    MessageBoxReporter reporter;
    reporter.Report("Integer overflow");
    ASSERT_NE(reporter.OpenBox(), nullptr);
    CloseWithOk(reporter.OpenBox());
    ASSERT_EQ(reporter.OpenBox(), nullptr);

    reporter.Report("Range check error");
    const auto boxes = VisibleBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes.front()->text(), QString("Range check error."));
    CloseWithOk(boxes.front());
}

TEST(MessageBoxReporter, ABoxStillOpenGoesAwayWithTheReporter) {
    {
        MessageBoxReporter reporter;
        reporter.Report("Range check error");
        reporter.Report("Integer overflow");  // waiting: must not open on the way out
        ASSERT_EQ(VisibleBoxes().size(), 1u);
    }
    EXPECT_TRUE(VisibleBoxes().empty());
}

}  // namespace
}  // namespace zelto
