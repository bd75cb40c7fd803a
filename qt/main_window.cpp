#include "qt/main_window.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QHash>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QProxyStyle>
#include <QPushButton>
#include <QShortcut>
#include <QShowEvent>
#include <QStringList>

#include "core/program/main_window_layout.h"
#include "qt/about_box.h"
#include "qt/drop_down_list.h"
#include "qt/images.h"
#include "qt/widgets.h"

namespace zelto {
namespace {

// A horizontal rule: an etched line (shadow above light) along the bottom of its box.
class Rule : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const int y = height() - 2;
        painter.setPen(palette().color(QPalette::Dark));
        painter.drawLine(0, y, width() - 1, y);
        painter.setPen(palette().color(QPalette::Light));
        painter.drawLine(0, y + 1, width() - 1, y + 1);
    }
};

// Drop-down lists with a narrower arrow button, so that the longest policy item fits the width
// the window's design gives its list even in the wider fallback font.
class CompactListStyle : public QProxyStyle {
public:
    static constexpr int kArrowWidth = 13;
    static constexpr int kFrame = 2;

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                         const QWidget* widget) const override {
        if (control == CC_ComboBox && (sub == SC_ComboBoxArrow || sub == SC_ComboBoxEditField)) {
            const QRect box = option->rect;
            const QRect arrow(box.right() - kArrowWidth + 1, box.top(), kArrowWidth, box.height());
            const QRect field(box.left() + kFrame, box.top() + kFrame,
                              box.width() - kArrowWidth - kFrame, box.height() - 2 * kFrame);
            return visualRect(option->direction, box, sub == SC_ComboBoxArrow ? arrow : field);
        }
        return QProxyStyle::subControlRect(control, option, sub, widget);
    }
};

// The panel's background: the highlight colour, lightened so that the red and black texts on it
// stay easy to read.
QColor PanelColour(const QPalette& palette) {
    const QColor highlight = palette.color(QPalette::Highlight);
    const QColor base = Qt::white;
    auto mix = [](int a, int b) { return (a + 3 * b) / 4; };
    return QColor(mix(highlight.red(), base.red()), mix(highlight.green(), base.green()),
                  mix(highlight.blue(), base.blue()));
}

QWidget* Create(const ControlRow& row, QWidget* parent) {
    const QString text = QString::fromUtf8(row.text);
    switch (row.kind) {
        case ControlKind::Panel:
            return new BevelPanel(parent, true);
        case ControlKind::Frame: {
            auto frame = new BevelPanel(parent, false);
            QPalette white = frame->palette();
            white.setColor(QPalette::Window, Qt::white);
            frame->setPalette(white);
            return frame;
        }
        case ControlKind::Text:
        case ControlKind::Memo:
        case ControlKind::Value: {
            auto label = new QLabel(text, parent);
            label->setTextFormat(Qt::PlainText);
            // Bottom-aligned in a 13-pixel line the baseline sits where the window design's
            // font put it, so the second line of a two-line caption and the reading beside it share
            // one baseline.
            label->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
            return label;
        }
        case ControlKind::Picture: {
            auto picture = new QLabel(parent);
            picture->setAlignment(Qt::AlignCenter);
            return picture;
        }
        case ControlKind::Bar:
            return new QProgressBar(parent);
        case ControlKind::List: {
            auto list = new DropDownList(parent);
            auto style = new CompactListStyle;
            style->setParent(list);
            list->setStyle(style);
            return list;
        }
        case ControlKind::Rule:
            return new Rule(parent);
        case ControlKind::Button:
            return new QPushButton(text, parent);
    }
    return nullptr;
}

void SetTextColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Text, colour);
    palette.setColor(QPalette::ButtonText, colour);
    widget->setPalette(palette);
}

// The fixed entries of a policy list, index for index.
void FillList(QComboBox* list, Language language, PolicyList policy) {
    const int count = PolicySettingFor(policy).count;
    for (int index = 0; index < count; ++index) {
        const auto item = PolicyItem(language, policy, index);
        list->addItem(QString::fromUtf8(item.data(), static_cast<int>(item.size())));
    }
    list->setCurrentIndex(-1);
}

}  // namespace

TForm1::TForm1(const MainWindowContents& contents, Language language, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      contents_(contents),
      language_(language) {
    setObjectName("Form1");
    setWindowTitle(QString::fromUtf8(kDesignCaption));
    setWindowIcon(AppIcon());
    setFont(WindowFont());
    setFixedSize(kMainWindowWidth, kMainWindowHeight);
    BuildControls();
    StyleControls();
    ConnectControls();
    CentreOnScreen(*this);
}

TForm1::~TForm1() = default;

void TForm1::BuildControls() {
    QHash<QString, QWidget*> built;
    for (const auto& row : MainWindowLayout(language_)) {
        QWidget* parent = row.parent == nullptr ? this : built.value(row.parent);
        QWidget* widget = Create(row, parent);
        widget->setObjectName(row.name);
        widget->setGeometry(ToQRect(row.geometry));
        if (row.kind == ControlKind::Value) {
            QFont bold = font();
            bold.setBold(true);
            widget->setFont(bold);
            SetTextColour(widget, Qt::red);
        }
        built.insert(row.name, widget);
    }

    auto find = [&](const char* name) { return built.value(name); };
    const char* const readingNames[] = {"Label1", "Label2", "Label3", "Label4",
                                        "Label5", "Label6", "Label7"};
    for (std::size_t i = 0; i < readings_.size(); ++i) {
        readings_[i] = static_cast<QLabel*>(find(readingNames[i]));
    }
    Label20 = static_cast<QLabel*>(find("Label20"));
    Label21 = static_cast<QLabel*>(find("Label21"));
    Label22 = static_cast<QLabel*>(find("Label22"));
    Image4 = static_cast<QLabel*>(find("Image4"));
    Image5 = static_cast<QLabel*>(find("Image5"));
    ProgressBar1 = static_cast<QProgressBar*>(find("ProgressBar1"));
    ComboBox1 = static_cast<QComboBox*>(find("ComboBox1"));
    ComboBox2 = static_cast<QComboBox*>(find("ComboBox2"));
    ComboBox3 = static_cast<QComboBox*>(find("ComboBox3"));
    ComboBox4 = static_cast<QComboBox*>(find("ComboBox4"));
    Button1 = static_cast<QPushButton*>(find("Button1"));
    Button3 = static_cast<QPushButton*>(find("Button3"));

    static_cast<QLabel*>(find("Image1"))->setPixmap(ComputerPicture());
    static_cast<QLabel*>(find("Image2"))->setPixmap(PlugPicture());
    static_cast<QLabel*>(find("Image3"))->setPixmap(UpsPicture());
    static_cast<QLabel*>(find("Image6"))->setPixmap(AppIconPixmap(32));
    ShowBatteryPicture(0);
}

void TForm1::StyleControls() {
    auto panel1 = findChild<QWidget*>("Panel1");
    QPalette panelPalette = panel1->palette();
    panelPalette.setColor(QPalette::Window, PanelColour(palette()));
    panel1->setPalette(panelPalette);

    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    // A flat bar that fills its white frame, as small as the window design's.
    ProgressBar1->setStyleSheet(
        "QProgressBar { border: none; background: white; }"
        "QProgressBar::chunk { background-color: palette(highlight); }");

    FillList(ComboBox1, language_, PolicyList::Trigger);
    FillList(ComboBox2, language_, PolicyList::Method);
    FillList(ComboBox3, language_, PolicyList::UpsDelay);

    Image5->setCursor(Qt::PointingHandCursor);
    Image5->setToolTip(QString::fromUtf8(Text(language_, TextId::BeeperHint).data()));
    Image5->installEventFilter(this);

    QFont bold = Button3->font();
    bold.setBold(true);
    Button3->setFont(bold);
}

void TForm1::ConnectControls() {
    // activated() comes only from the user: selections made by the program run no handler.
    connect(ComboBox1, &QComboBox::activated, this, &TForm1::ComboBox1Change);
    connect(ComboBox2, &QComboBox::activated, this, &TForm1::ComboBox2Change);
    connect(ComboBox3, &QComboBox::activated, this, &TForm1::ComboBox3Change);
    connect(ComboBox4, &QComboBox::activated, this, &TForm1::ComboBox4Change);
    connect(static_cast<DropDownList*>(ComboBox4), &DropDownList::popupAboutToShow, this,
            &TForm1::ComboBox4DropDown);
    connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
    connect(Button3, &QPushButton::clicked, this, &TForm1::Button3Click);
    // Button3 is the window's cancel button: Escape presses it.
    auto escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, &TForm1::Button3Click);
}

TAboutBox& TForm1::AboutBox() {
    if (AboutBox_ == nullptr) {
        AboutBox_ = new TAboutBox(language_, this);
        // Modal for this window only: the tray icon, a window of its own, keeps answering
        // clicks while the dialog is open.
        AboutBox_->setWindowModality(Qt::WindowModal);
    }
    return *AboutBox_;
}

void TForm1::Paint(const MainWindowContents& contents) {
    SetCaption(contents.caption);
    for (std::size_t i = 0; i < kReadingCount; ++i) {
        readings_[i]->setText(QString::fromStdString(contents.readings[i]));
    }
    if (contents.linkOk) {
        ShowLinkState(*contents.linkOk);
    }
    ShowLoadBar(contents.loadPercent);
    ShowBeeperPicture(contents.beeperPicture);
    ShowBatteryPicture(contents.batteryPicture);
    ShowCharge(contents.charge);
    ShowClockVisible(contents.clockVisible);
    ShowClock(contents.clock);
    for (const PolicyList list : {PolicyList::Trigger, PolicyList::Method, PolicyList::UpsDelay}) {
        SetPolicyIndex(list, contents.policyIndex[static_cast<std::size_t>(list)]);
    }
    // The list is filled anew only when its entries differ, so that an open list keeps its
    // place and nothing is drawn again for nothing.
    bool samePorts = ComboBox4->count() == static_cast<int>(contents.ports.size());
    for (int i = 0; samePorts && i < ComboBox4->count(); ++i) {
        samePorts = ComboBox4->itemText(i).toStdString() == contents.ports[std::size_t(i)];
    }
    if (!samePorts) {
        SetPortList(contents.ports);
    }
    SetPortIndex(contents.portIndex);
    SetUpsOffEnabled(contents.upsOffEnabled);
}

// The parts

QComboBox* TForm1::PolicyCombo(PolicyList list) const {
    QComboBox* const combos[] = {ComboBox1, ComboBox2, ComboBox3};
    return combos[PolicyListPlace(list)];
}

void TForm1::SetPolicyIndex(PolicyList list, int index) {
    QComboBox* combo = PolicyCombo(list);
    combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
}

void TForm1::SetPortList(const std::vector<std::string>& names) {
    ComboBox4->clear();
    for (const auto& name : names) {
        ComboBox4->addItem(QString::fromStdString(name));
    }
    ComboBox4->setCurrentIndex(-1);
}

void TForm1::SetPortIndex(int index) {
    ComboBox4->setCurrentIndex(index >= 0 && index < ComboBox4->count() ? index : -1);
}

void TForm1::SetUpsOffEnabled(bool enabled) {
    ComboBox3->setEnabled(enabled);
}

void TForm1::SetCaption(const std::string& caption) {
    setWindowTitle(QString::fromStdString(caption));
}

QLabel* TForm1::ReadingLabel(Reading which) const {
    return readings_[static_cast<std::size_t>(which)];
}

void TForm1::ShowLinkState(bool ok) {
    // Two palettes made once: a palette made anew each time is a new key to the style's cache
    // of drawn lists, which would grow with every change of the link's colour.
    if (linkPalettes_.empty()) {
        for (const QColor& colour : {QColor(Qt::red), QColor(Qt::black)}) {
            SetTextColour(ComboBox4, colour);
            linkPalettes_.push_back(ComboBox4->palette());
        }
    }
    ComboBox4->setPalette(linkPalettes_[ok ? 1 : 0]);
}

void TForm1::ShowReading(Reading which, const std::string& text) {
    ReadingLabel(which)->setText(QString::fromStdString(text));
}

void TForm1::ShowLoadBar(int percent) {
    ProgressBar1->setValue(percent);
}

// A label repaints for every picture it is given, even the one it shows: the same picture
// again, every second, is left out.
void TForm1::ShowBeeperPicture(int picture) {
    if (picture != beeperPicture_) {
        beeperPicture_ = picture;
        Image5->setPixmap(ListImage32(picture));
    }
}

void TForm1::ShowBatteryPicture(int picture) {
    if (picture != batteryPicture_) {
        batteryPicture_ = picture;
        Image4->setPixmap(ListImage32(picture));
    }
}

void TForm1::ShowCharge(const std::string& text) {
    Label20->setText(QString::fromStdString(text));
}

void TForm1::ShowClockVisible(bool visible) {
    Label21->setVisible(visible);
    Label22->setVisible(visible);
}

void TForm1::ShowClock(const std::string& text) {
    Label22->setText(QString::fromStdString(text));
}

// Events

void TForm1::showEvent(QShowEvent* event) {
    // Before the first paint: the window opens with what the program holds now.
    if (!event->spontaneous()) {
        Paint(contents_);
    }
    QWidget::showEvent(event);
}

void TForm1::Button1Click() {
    emit aboutRequested();
    // open(), not exec(): no loop of its own, the window modality alone keeps this window
    // out of reach while the box shows.
    AboutBox().open();
}

void TForm1::Button3Click() {
    emit exitChosen();
}

void TForm1::ComboBox1Change(int index) {
    emit policyChosen(PolicyList::Trigger, index);
}

void TForm1::ComboBox2Change(int index) {
    emit policyChosen(PolicyList::Method, index);
}

void TForm1::ComboBox3Change(int index) {
    emit policyChosen(PolicyList::UpsDelay, index);
}

void TForm1::ComboBox4DropDown() {
    emit portListOpening();
}

void TForm1::ComboBox4Change(int index) {
    emit portChosen(index);
}

void TForm1::Image5Click() {
    emit beeperToggleRequested();
}

void TForm1::closeEvent(QCloseEvent* event) {
    event->ignore();
    emit hideRequested();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Image5 && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        // A click is a release of the left button over the picture it was pressed on.
        if (mouse->button() == Qt::LeftButton &&
            Image5->rect().contains(mouse->position().toPoint())) {
            Image5Click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace zelto
