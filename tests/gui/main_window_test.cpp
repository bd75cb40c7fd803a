// The main window offscreen, open: its controls against the layout table, the look of the
// readings, the fixed lists, and the way the program's output reaches the widgets and the user's
// actions reach the program.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyleOptionComboBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <set>

#include "core/program/main_window_layout.h"
#include "core/program/program.h"
#include "qt/about_box.h"
#include "qt/images.h"
#include "qt/main_window.h"
#include "qt/main_window_host.h"
#include "qt/tray_icon.h"
#include "qt/widgets.h"
#include "qt/zelto_application.h"
#include "support/core_fakes.h"
#include "support/status_records.h"

namespace zelto {
namespace {

constexpr const char* kSettingsPath = "/fake/work/UPSZelto.ini";

// A window wired to a real program whose platform is all fakes, opened as the user opens it:
// only an open window gets the program's output.
class MainWindow : public ::testing::Test {
protected:
    explicit MainWindow(Language language = Language::Russian) {
        if (language == Language::English) {
            store.files[kSettingsPath] = "[UPS]\nLanguage=en\n";
        }
        program.emplace(Platform{store, port, portTable, form, form, countdown, power, errors});
        portTable.ports = {{"ttyUSB0", "/fake/dev/ttyUSB0"}, {"ttyS1", "/fake/dev/ttyS1"}};
        ConnectWindowToProgram(form, *program);
        form.ShowHideExecute();
    }

    TForm1& Window() { return form.Window(); }
    template <class T = QWidget>
    T* Control(const char* name) {
        return Window().findChild<T*>(name);
    }
    QLabel* Label(const char* name) { return Control<QLabel>(name); }
    QComboBox* List(const char* name) { return Control<QComboBox>(name); }

    std::string SettingsText() {
        const auto found = store.files.find(kSettingsPath);
        return found == store.files.end() ? std::string() : found->second;
    }

    fakes::FakeSettingsStore store;
    fakes::FakeComPort port;
    fakes::FakePortTable portTable;
    fakes::FakeCountdown countdown;
    fakes::FakePowerRequests power;
    fakes::FakeErrorReporter errors;
    MainWindowHost form;
    std::optional<Program> program;
};

// The same window in each language: its texts must fit the design's controls in all of them.
class MainWindowIn : public MainWindow, public ::testing::WithParamInterface<Language> {
protected:
    MainWindowIn() : MainWindow(GetParam()) {}
};

bool SameImage(const QPixmap& a, const QPixmap& b) {
    return !a.isNull() && !b.isNull() && a.toImage() == b.toImage();
}

QStringList Items(const QComboBox* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i) {
        items << list->itemText(i);
    }
    return items;
}

// Where each line of a label's text is drawn, in its parent's coordinates.
std::vector<QRect> DrawnLines(const QLabel* label) {
    const QFontMetrics metrics = label->fontMetrics();
    const QRect block =
        metrics.boundingRect(label->contentsRect(), int(label->alignment()), label->text());
    std::vector<QRect> lines;
    int top = block.top();
    for (const QString& line : label->text().split('\n')) {
        lines.emplace_back(block.left(), top, metrics.horizontalAdvance(line), metrics.height());
        top += metrics.lineSpacing();
    }
    for (QRect& line : lines) {
        line.translate(label->pos());
    }
    return lines;
}

QImage Rendered(QWidget* widget) {
    QImage image(widget->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    widget->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

// The baseline of a label's lowest line as painted, in its parent's coordinates: the lowest row
// with a good share of ink (descenders put only a few pixels below it).
int PaintedBaseline(QLabel* label) {
    const QImage image = Rendered(label);
    std::vector<int> ink(image.height(), 0);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            ink[y] += qAlpha(image.pixel(x, y)) > 128 ? 1 : 0;
        }
    }
    const int most = *std::max_element(ink.begin(), ink.end());
    for (int y = image.height() - 1; y >= 0; --y) {
        if (ink[y] * 3 >= most) {
            return label->y() + y;
        }
    }
    return -1;
}

// The part of a control that paint actually touches, in its parent's coordinates.
QRect PaintedArea(QWidget* widget) {
    const QImage image = Rendered(widget);
    QRect painted;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) != 0) {
                painted |= QRect(x, y, 1, 1);
            }
        }
    }
    return painted.translated(widget->pos());
}

// ---- Layout --------------------------------------------------------------------------------

TEST_P(MainWindowIn, EveryControlOfTheTableIsThereWithItsParentPositionSizeAndText) {
    for (const auto& row : MainWindowLayout(GetParam())) {
        SCOPED_TRACE(row.name);
        QWidget* widget = Control(row.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->geometry(), ToQRect(row.geometry));
        const QWidget* parent = widget->parentWidget();
        if (row.parent == nullptr) {
            EXPECT_EQ(parent, &Window());
        } else {
            ASSERT_NE(parent, nullptr);
            EXPECT_EQ(parent->objectName(), QString(row.parent));
        }
        const QString text = QString::fromUtf8(row.text);
        if (row.kind == ControlKind::Text || row.kind == ControlKind::Value) {
            auto label = qobject_cast<QLabel*>(widget);
            ASSERT_NE(label, nullptr);
            EXPECT_EQ(label->text(), text);
            EXPECT_EQ(label->textFormat(), Qt::PlainText);
        } else if (row.kind == ControlKind::Button) {
            auto button = qobject_cast<QPushButton*>(widget);
            ASSERT_NE(button, nullptr);
            EXPECT_EQ(button->text(), text);
        } else if (row.kind == ControlKind::List) {
            EXPECT_NE(qobject_cast<QComboBox*>(widget), nullptr);
        } else if (row.kind == ControlKind::Bar) {
            EXPECT_NE(qobject_cast<QProgressBar*>(widget), nullptr);
        } else if (row.kind == ControlKind::Picture) {
            EXPECT_NE(qobject_cast<QLabel*>(widget), nullptr);
        }
    }
}

TEST_F(MainWindow, TheTableHoldsEveryNamedControlOnce) {
    std::set<std::string> expected = {"Panel1", "Panel2",  "ProgressBar1",
                                      "Bevel1", "Button1", "Button3"};
    for (int i = 1; i <= 22; ++i) {
        expected.insert("Label" + std::to_string(i));
    }
    for (int i = 1; i <= 6; ++i) {
        expected.insert("Image" + std::to_string(i));
    }
    for (int i = 1; i <= 4; ++i) {
        expected.insert("ComboBox" + std::to_string(i));
    }
    std::multiset<std::string> names;
    for (const auto& row : MainWindowLayout(Language::Russian)) {
        names.insert(row.name);
    }
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()), expected);
    EXPECT_EQ(names.size(), expected.size());
}

struct Placement {
    const char* name;
    int left, top, width, height;  // width or height 0: not fixed by the window's design
};

// The positions and sizes the window's design fixes, independently of the table.
const Placement kDesign[] = {
    {"Panel1", 0, 0, 409, 217},      {"Label13", 160, 8, 0, 0},       {"Label7", 232, 8, 0, 0},
    {"Label14", 296, 8, 0, 0},       {"Label5", 352, 8, 0, 0},        {"Label8", 8, 27, 0, 0},
    {"Label1", 46, 40, 0, 0},        {"Label9", 160, 27, 0, 0},       {"Label2", 232, 40, 0, 0},
    {"Label10", 296, 27, 0, 0},      {"Label3", 352, 40, 0, 0},       {"Image2", 40, 56, 32, 32},
    {"Image3", 184, 56, 32, 32},     {"Image1", 328, 56, 32, 32},     {"Label11", 296, 96, 0, 0},
    {"Label4", 352, 96, 0, 0},       {"Panel2", 296, 112, 97, 12},    {"Label18", 8, 104, 0, 0},
    {"ComboBox4", 8, 120, 65, 0},    {"Image5", 144, 120, 32, 32},    {"Image4", 184, 120, 32, 32},
    {"Label12", 224, 136, 0, 0},     {"Label6", 352, 136, 0, 0},      {"Label21", 8, 152, 0, 0},
    {"Label22", 144, 152, 0, 0},     {"Label19", 272, 152, 0, 0},     {"Label20", 352, 152, 0, 0},
    {"Bevel1", 8, 160, 393, 0},      {"Label15", 8, 176, 0, 0},       {"ComboBox1", 8, 192, 129, 0},
    {"Label16", 144, 176, 0, 0},     {"ComboBox2", 144, 192, 121, 0}, {"Label17", 272, 176, 0, 0},
    {"ComboBox3", 272, 192, 129, 0}, {"Image6", 3, 220, 32, 32},      {"Button1", 224, 224, 91, 25},
    {"Button3", 328, 224, 75, 25},
};

TEST_F(MainWindow, ControlsSitWhereTheDesignPutsThem) {
    for (const auto& place : kDesign) {
        SCOPED_TRACE(place.name);
        QWidget* widget = Control(place.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->pos(), QPoint(place.left, place.top));
        if (place.width != 0) {
            EXPECT_EQ(widget->width(), place.width);
        }
        if (place.height != 0) {
            EXPECT_EQ(widget->height(), place.height);
        }
    }
}

TEST_P(MainWindowIn, EveryTextFitsItsControl) {
    for (const auto& row : MainWindowLayout(GetParam())) {
        SCOPED_TRACE(row.name);
        if (row.kind == ControlKind::Text || row.kind == ControlKind::Value) {
            const QLabel* label = Label(row.name);
            const QRect drawn =
                label->fontMetrics().boundingRect(QRect(QPoint(0, 0), QSize(1000, 1000)),
                                                  Qt::AlignLeft | Qt::AlignTop, label->text());
            EXPECT_LE(drawn.width(), label->width());
            EXPECT_LE(drawn.height(), label->height());
        } else if (row.kind == ControlKind::Button) {
            const auto button = Control<QPushButton>(row.name);
            EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()) + 8, button->width());
        }
    }
}

TEST_F(MainWindow, TheLongestReadingsStillFitTheirLabels) {
    const std::map<const char*, const char*> longest = {
        {"Label1", "888.8 V"}, {"Label2", "888.8 V"}, {"Label3", "888.8 V"},
        {"Label4", "888 %"},   {"Label5", "88.8 Hz"}, {"Label6", "88.8 V"},
        {"Label7", "88.8 °C"}, {"Label20", "100 %"},  {"Label22", "888:88"}};
    for (const auto& [name, text] : longest) {
        SCOPED_TRACE(name);
        const QLabel* label = Label(name);
        EXPECT_LE(label->fontMetrics().horizontalAdvance(QString::fromUtf8(text)), label->width());
    }
}

TEST_P(MainWindowIn, PolicyItemsFitTheirListsClosed) {
    for (const char* name : {"ComboBox1", "ComboBox2", "ComboBox3"}) {
        SCOPED_TRACE(name);
        QComboBox* list = List(name);
        QStyleOptionComboBox option;
        option.initFrom(list);
        option.rect = list->rect();
        const QRect field = list->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                          QStyle::SC_ComboBoxEditField, list);
        for (const QString& item : Items(list)) {
            SCOPED_TRACE(item.toStdString());
            // The style keeps a pixel free on either side of the text.
            EXPECT_LE(list->fontMetrics().horizontalAdvance(item) + 2, field.width());
        }
    }
}

TEST_P(MainWindowIn, NoTwoTextsAndNoTextAndControlOverlap) {
    // Everything each control occupies on its parent: text lines for labels, the painted line
    // for the rule, the whole box for the others.
    std::vector<std::pair<std::string, QRect>> areas;
    std::map<std::string, std::string> parentOf;
    for (const auto& row : MainWindowLayout(GetParam())) {
        parentOf[row.name] = row.parent == nullptr ? "" : row.parent;
        if (row.kind == ControlKind::Text || row.kind == ControlKind::Value) {
            for (const QRect& line : DrawnLines(Label(row.name))) {
                areas.emplace_back(row.name, line);
            }
        } else if (row.kind == ControlKind::Rule) {
            const QRect painted = PaintedArea(Control(row.name));
            ASSERT_FALSE(painted.isEmpty()) << row.name;
            areas.emplace_back(row.name, painted);
        } else if (row.kind != ControlKind::Panel) {
            areas.emplace_back(row.name, ToQRect(row.geometry));
        }
    }
    for (std::size_t i = 0; i < areas.size(); ++i) {
        for (std::size_t j = i + 1; j < areas.size(); ++j) {
            const auto& [a, areaA] = areas[i];
            const auto& [b, areaB] = areas[j];
            if (a == b || parentOf[a] != parentOf[b]) {
                continue;
            }
            EXPECT_FALSE(areaA.intersects(areaB)) << a << " and " << b;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Languages, MainWindowIn,
                         ::testing::Values(Language::Russian, Language::English),
                         [](const ::testing::TestParamInfo<Language>& info) {
                             return info.param == Language::English ? "English" : "Russian";
                         });

TEST_F(MainWindow, TheSecondLineOfATwoLineCaptionSharesTheReadingsBaseline) {
    const std::pair<const char*, const char*> pairs[] = {
        {"Label8", "Label1"}, {"Label9", "Label2"}, {"Label10", "Label3"}};
    for (const auto& [caption, reading] : pairs) {
        SCOPED_TRACE(caption);
        const int baseline = PaintedBaseline(Label(caption));
        EXPECT_GT(baseline, 40);
        EXPECT_EQ(baseline, PaintedBaseline(Label(reading)));
    }
}

// ---- Look ----------------------------------------------------------------------------------

TEST_F(MainWindow, ReadingsAreRedAndBoldCaptionsAreNot) {
    for (const auto& row : MainWindowLayout(Language::Russian)) {
        if (row.kind != ControlKind::Text && row.kind != ControlKind::Value) {
            continue;
        }
        SCOPED_TRACE(row.name);
        const QLabel* label = Label(row.name);
        const bool reading = row.kind == ControlKind::Value;
        EXPECT_EQ(label->font().bold(), reading);
        EXPECT_EQ(label->palette().color(QPalette::WindowText) == QColor(Qt::red), reading);
    }
    for (const char* name : {"Label1", "Label2", "Label3", "Label4", "Label5", "Label6", "Label7",
                             "Label20", "Label22"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(Label(name)->font().bold());
    }
}

TEST_F(MainWindow, ExitIsBoldAndAboutIsNot) {
    EXPECT_TRUE(Control<QPushButton>("Button3")->font().bold());
    EXPECT_FALSE(Control<QPushButton>("Button1")->font().bold());
}

TEST_F(MainWindow, TheWindowHasAFixedClientAreaAndNoMaximiseButton) {
    EXPECT_EQ(Window().size(), QSize(409, 255));
    EXPECT_EQ(Window().minimumSize(), QSize(409, 255));
    EXPECT_EQ(Window().maximumSize(), QSize(409, 255));
    const Qt::WindowFlags flags = Window().windowFlags();
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowSystemMenuHint));
    EXPECT_EQ(Window().windowTitle(), QString("123"));
}

TEST_F(MainWindow, TheWindowStartsCentredOnTheScreen) {
    // Placed when it is built, before the window system adds a frame.
    MainWindowHost fresh;
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const QPoint offset = fresh.Window().geometry().center() - screen.center();
    EXPECT_LE(std::abs(offset.x()), 1);
    EXPECT_LE(std::abs(offset.y()), 1);
}

TEST_F(MainWindow, FixedPicturesAreShownAndTheBeeperIsEmptyUntilTheFirstRecord) {
    EXPECT_TRUE(SameImage(Label("Image1")->pixmap(), ComputerPicture()));
    EXPECT_TRUE(SameImage(Label("Image2")->pixmap(), PlugPicture()));
    EXPECT_TRUE(SameImage(Label("Image3")->pixmap(), UpsPicture()));
    EXPECT_TRUE(SameImage(Label("Image6")->pixmap(), AppIconPixmap(32)));
    EXPECT_TRUE(SameImage(Label("Image4")->pixmap(), ListImage32(0)));
    EXPECT_TRUE(Label("Image5")->pixmap().isNull());
}

TEST_F(MainWindow, TheBeeperShowsAHandAndItsHint) {
    const QLabel* beeper = Label("Image5");
    EXPECT_EQ(beeper->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(beeper->toolTip(), QString("Включить/выключить пищалку UPS"));
}

TEST_F(MainWindow, TheLoadBarRunsFrom0To100WithoutText) {
    const auto bar = Control<QProgressBar>("ProgressBar1");
    EXPECT_EQ(bar->minimum(), 0);
    EXPECT_EQ(bar->maximum(), 100);
    EXPECT_FALSE(bar->isTextVisible());
}

// ---- Policy lists --------------------------------------------------------------------------

TEST_F(MainWindow, ThePolicyListsHoldExactlyTheirItems) {
    EXPECT_EQ(Items(List("ComboBox1")),
              QStringList({"при отказе сети", "при 80% батареи", "при 50% батареи",
                           "при 30% батареи", "при 20% батареи", "при 10% батареи", "никогда"}));
    EXPECT_EQ(Items(List("ComboBox2")),
              QStringList({"Выключит компьютер", "Спящий режим", "Ждущий режим"}));
    EXPECT_EQ(Items(List("ComboBox3")),
              QStringList({"никогда", "1 минуту", "2 минуты", "3 минуты", "4 минуты", "5 минут",
                           "6 минут", "7 минут", "8 минут", "9 минут", "10 минут"}));
    for (const char* name : {"ComboBox1", "ComboBox2", "ComboBox3", "ComboBox4"}) {
        EXPECT_FALSE(List(name)->isEditable()) << name;
    }
}

TEST_F(MainWindow, SettingAPolicyIndexSelectsItOrNothingWhenOutOfRange) {
    form.SetPolicyIndex(PolicyList::Trigger, 6);
    form.SetPolicyIndex(PolicyList::Method, 2);
    form.SetPolicyIndex(PolicyList::UpsDelay, 10);
    EXPECT_EQ(List("ComboBox1")->currentIndex(), 6);
    EXPECT_EQ(List("ComboBox2")->currentIndex(), 2);
    EXPECT_EQ(List("ComboBox3")->currentIndex(), 10);

    form.SetPolicyIndex(PolicyList::Trigger, 7);
    form.SetPolicyIndex(PolicyList::Method, -1);
    form.SetPolicyIndex(PolicyList::UpsDelay, 11);
    EXPECT_EQ(List("ComboBox1")->currentIndex(), -1);
    EXPECT_EQ(List("ComboBox2")->currentIndex(), -1);
    EXPECT_EQ(List("ComboBox3")->currentIndex(), -1);
    EXPECT_EQ(store.writes, 0);
}

struct PolicyCase {
    const char* list;
    const char* key;
    int ProgramState::*index;
};

void PrintTo(const PolicyCase& c, std::ostream* os) {
    *os << c.list;
}

class MainWindowPolicy : public MainWindow, public ::testing::WithParamInterface<PolicyCase> {};

TEST_P(MainWindowPolicy, AUserChoiceIsStoredAndAProgrammaticOneIsNot) {
    QComboBox* list = List(GetParam().list);
    form.SetPolicyIndex(PolicyList::Trigger, 0);
    form.SetPolicyIndex(PolicyList::Method, 0);
    form.SetPolicyIndex(PolicyList::UpsDelay, 0);
    list->setCurrentIndex(1);
    EXPECT_EQ(store.writes, 0);

    // The user steps down the closed list with the keyboard.
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(list->currentIndex(), 2);
    EXPECT_NE(SettingsText().find(std::string(GetParam().key) + "=2"), std::string::npos)
        << SettingsText();
    EXPECT_EQ(program->State().*GetParam().index, 2);
    EXPECT_TRUE(errors.texts.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Lists, MainWindowPolicy,
    ::testing::Values(PolicyCase{"ComboBox1", "CompOff", &ProgramState::TriggerIndex},
                      PolicyCase{"ComboBox2", "OffMethod", &ProgramState::MethodIndex},
                      PolicyCase{"ComboBox3", "OffUPS", &ProgramState::UpsOffIndex}));

// ---- Port list -----------------------------------------------------------------------------

TEST_F(MainWindow, StartUpFillsThePortListSelectsTheStoredPortAndSetsTheCaption) {
    store.files[kSettingsPath] = "[UPS]\nCOMPort=1\nCompOff=4\nOffMethod=1\nOffUPS=5\n";
    ASSERT_NE(form.Tray(), nullptr);
    EXPECT_FALSE(form.Tray()->Present());
    form.FormCreate();

    EXPECT_EQ(Items(List("ComboBox4")), QStringList({"ttyS1", "ttyUSB0"}));
    EXPECT_EQ(List("ComboBox4")->currentIndex(), 1);
    EXPECT_EQ(port.openedPath, "/fake/dev/ttyUSB0");
    EXPECT_EQ(List("ComboBox1")->currentIndex(), 4);
    EXPECT_EQ(List("ComboBox2")->currentIndex(), 1);
    EXPECT_EQ(List("ComboBox3")->currentIndex(), 5);
    EXPECT_EQ(Window().windowTitle(), QString("ZELTO Homeline"));
    EXPECT_TRUE(form.Tray()->Present());
    // Start-up ran the first tick itself: the first query is out.
    EXPECT_EQ(port.WritesOf("Q1\r"), 1);
    EXPECT_TRUE(form.Timer1().isActive());
    EXPECT_EQ(form.Timer1().interval(), 1000);
    EXPECT_EQ(form.Timer1().timerType(), Qt::PreciseTimer);
}

TEST_F(MainWindow, AUserPortChoiceReopensThePortAndIsStored) {
    form.FormCreate();
    QComboBox* list = List("ComboBox4");
    ASSERT_EQ(list->currentIndex(), 0);
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(list->currentIndex(), 1);
    EXPECT_EQ(port.openedPath, "/fake/dev/ttyUSB0");
    EXPECT_NE(SettingsText().find("COMPort=1"), std::string::npos) << SettingsText();
    EXPECT_EQ(program->State().PortIndex, 1);
}

TEST_F(MainWindow, OpeningThePortListPicksUpDevicesPluggedInSince) {
    form.FormCreate();
    QComboBox* list = List("ComboBox4");
    ASSERT_EQ(list->count(), 2);
    portTable.ports.push_back({"ttyACM0", "/fake/dev/ttyACM0"});
    list->showPopup();
    list->hidePopup();
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->itemText(0), "ttyACM0");
    // The chosen port stays chosen at its new place.
    EXPECT_EQ(list->currentText(), "ttyS1");
    EXPECT_EQ(port.openedPath, "/fake/dev/ttyS1");
}

TEST_F(MainWindow, SettingThePortIndexOpensNothing) {
    form.SetPortList({"a", "b", "c"});
    form.SetPortIndex(2);
    EXPECT_EQ(List("ComboBox4")->currentIndex(), 2);
    form.SetPortIndex(3);
    EXPECT_EQ(List("ComboBox4")->currentIndex(), -1);
    EXPECT_EQ(port.openedPath, "");
    EXPECT_EQ(store.writes, 0);
}

TEST_F(MainWindow, ThePortListColourFollowsTheLinkState) {
    QComboBox* list = List("ComboBox4");
    form.ShowLinkState(false);
    EXPECT_EQ(list->palette().color(QPalette::Text), QColor(Qt::red));
    EXPECT_EQ(list->palette().color(QPalette::ButtonText), QColor(Qt::red));
    form.ShowLinkState(true);
    EXPECT_EQ(list->palette().color(QPalette::Text), QColor(Qt::black));
    EXPECT_EQ(list->palette().color(QPalette::ButtonText), QColor(Qt::black));
}

// ---- Readings ------------------------------------------------------------------------------

TEST_F(MainWindow, EachReadingGoesToItsOwnLabel) {
    const std::pair<Reading, const char*> readings[] = {
        {Reading::MainsVoltage, "Label1"},  {Reading::InputVoltage, "Label2"},
        {Reading::OutputVoltage, "Label3"}, {Reading::Load, "Label4"},
        {Reading::Frequency, "Label5"},     {Reading::BatteryVoltage, "Label6"},
        {Reading::Temperature, "Label7"}};
    int n = 0;
    for (const auto& [which, name] : readings) {
        form.ShowReading(which, "value " + std::to_string(++n));
    }
    n = 0;
    for (const auto& [which, name] : readings) {
        EXPECT_EQ(Label(name)->text(), QString("value %1").arg(++n)) << name;
    }
}

TEST_F(MainWindow, TextsFromTheUpsAreShownAsTheyCame) {
    form.ShowReading(Reading::Temperature, "<b>1</b> °C");
    EXPECT_EQ(Label("Label7")->text(), QString("<b>1</b> °C"));
    EXPECT_EQ(Label("Label7")->textFormat(), Qt::PlainText);
}

TEST_F(MainWindow, LoadBarChargeClockAndPicturesReachTheirControls) {
    form.ShowLoadBar(15);
    EXPECT_EQ(Control<QProgressBar>("ProgressBar1")->value(), 15);
    form.ShowCharge("77 %");
    EXPECT_EQ(Label("Label20")->text(), QString("77 %"));
    form.ShowClock("12:05");
    EXPECT_EQ(Label("Label22")->text(), QString("12:05"));

    form.ShowBeeperPicture(10);
    EXPECT_TRUE(SameImage(Label("Image5")->pixmap(), ListImage32(10)));
    form.ShowBeeperPicture(11);
    EXPECT_TRUE(SameImage(Label("Image5")->pixmap(), ListImage32(11)));
    form.ShowBatteryPicture(3);
    EXPECT_TRUE(SameImage(Label("Image4")->pixmap(), ListImage32(3)));
}

TEST_F(MainWindow, TheClockAndItsCaptionHideAndShowTogether) {
    form.ShowClockVisible(false);
    EXPECT_TRUE(Label("Label21")->isHidden());
    EXPECT_TRUE(Label("Label22")->isHidden());
    form.ShowClockVisible(true);
    EXPECT_FALSE(Label("Label21")->isHidden());
    EXPECT_FALSE(Label("Label22")->isHidden());
}

TEST_F(MainWindow, TheTrayPictureAndTipAreKeptAndAnnounced) {
    QSignalSpy changed(&form, &MainWindowHost::trayChanged);
    EXPECT_EQ(form.TrayPicture(), -1);
    form.ShowTray(8, "Питание от сети");
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.at(0).at(0).toInt(), 8);
    EXPECT_EQ(changed.at(0).at(1).toString(), QString("Питание от сети"));
    EXPECT_EQ(form.TrayPicture(), 8);
    EXPECT_EQ(form.TrayTip(), QString("Питание от сети"));
}

TEST_F(MainWindow, ARecordFromThePortIsShownByTheTick) {
    port.AnswerQueries({fakes::BuildRecord({})});
    form.FormCreate();
    form.Timer1Timer();
    EXPECT_EQ(Label("Label1")->text(), QString("228.0 V"));
    EXPECT_EQ(Label("Label4")->text(), QString("015 %"));
    EXPECT_EQ(Label("Label5")->text(), QString("50.0 Hz"));
    EXPECT_EQ(Label("Label6")->text(), QString("13.6 V"));
    EXPECT_EQ(Label("Label7")->text(), QString("35.0 °C"));
    EXPECT_EQ(Control<QProgressBar>("ProgressBar1")->value(), 15);
    EXPECT_TRUE(SameImage(Label("Image5")->pixmap(), ListImage32(11)));
    EXPECT_TRUE(errors.texts.empty());
}

// ---- User actions --------------------------------------------------------------------------

TEST_F(MainWindow, ClickingTheBeeperSendsTheToggleCommand) {
    form.FormCreate();
    QTest::mouseClick(Label("Image5"), Qt::LeftButton);
    EXPECT_EQ(port.WritesOf("Q\r"), 1);
    QTest::mouseClick(Label("Image5"), Qt::RightButton);
    EXPECT_EQ(port.WritesOf("Q\r"), 1);
}

TEST_F(MainWindow, AboutOpensTheAboutDialogModally) {
    QSignalSpy about(&form, &MainWindowHost::aboutRequested);
    QTest::mouseClick(Control<QPushButton>("Button1"), Qt::LeftButton);
    EXPECT_EQ(about.count(), 1);
    EXPECT_EQ(QApplication::activeModalWidget(), &form.AboutBox());
    form.AboutBox().done(1);
}

// Runs an event loop in which `action` happens; returns the loop's exit code (-1: nobody ended
// it within two seconds).
// The application's own loop is used: after QCoreApplication::exit() any other loop would return
// at once until the application loop has run again.
int ExitCodeOfLoopAround(const std::function<void()>& action) {
    QTimer::singleShot(0, action);
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(-1); });
    guard.start(2000);
    return QCoreApplication::exec();
}

TEST_F(MainWindow, ExitEndsTheEventLoop) {
    QSignalSpy exiting(&form, &MainWindowHost::exitRequested);
    const int code = ExitCodeOfLoopAround(
        [this] { QTest::mouseClick(Control<QPushButton>("Button3"), Qt::LeftButton); });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(exiting.count(), 1);
}

TEST_F(MainWindow, EscapeRunsExit) {
    Window().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Window()));
    QSignalSpy exiting(&form, &MainWindowHost::exitRequested);
    const int code = ExitCodeOfLoopAround([this] { QTest::keyClick(&Window(), Qt::Key_Escape); });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(exiting.count(), 1);
}

TEST_F(MainWindow, ClosingOnlyHidesTheWindow) {
    // Into the tray: the icon start-up puts there is what brings the window back.
    form.AddTrayIcon();
    ASSERT_FALSE(program->State().WindowHidden);
    EXPECT_FALSE(Window().close());
    EXPECT_FALSE(Window().isVisible());
    EXPECT_TRUE(program->State().WindowHidden);
}

// ---- Screenshot ----------------------------------------------------------------------------

TEST_P(MainWindowIn, ScreenshotForAPersonToLookAt) {
    const QString dir = QString(ZELTO_BUILD_DIR) + "/screenshots";
    const QString suffix = GetParam() == Language::English ? "_en" : "";
    ASSERT_TRUE(QDir().mkpath(dir));
    EXPECT_TRUE(Window().grab().save(dir + "/main_window_design" + suffix + ".png"));

    port.AnswerQueries({fakes::BuildRecord({})});
    form.FormCreate();
    form.Timer1Timer();
    form.ShowLinkState(true);
    const QPixmap shot = Window().grab();
    EXPECT_EQ(shot.size(), QSize(409, 255));
    EXPECT_TRUE(shot.save(dir + "/main_window" + suffix + ".png"));
}

}  // namespace
}  // namespace zelto
