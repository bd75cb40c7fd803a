#include "qt/about_box.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include "core/base/product.h"
#include "core/program/dialog_layouts.h"
#include "qt/images.h"
#include "qt/widgets.h"

namespace zelto {
namespace {

void Place(QWidget& control, const char* name) {
    const Rect at = LayoutRow(AboutLayout(), name).geometry;
    control.setObjectName(QString::fromUtf8(name));
    control.setGeometry(at.left, at.top, at.width, at.height);
}

// A label of the table, at its place, with its text as it is.
QLabel* TextLabel(const char* name, QWidget* parent) {
    auto label = new QLabel(QString::fromUtf8(LayoutRow(AboutLayout(), name).text), parent);
    label->setTextFormat(Qt::PlainText);
    Place(*label, name);
    return label;
}

bool IsEnterOrEscape(const QKeyEvent& key) {
    return key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter || key.key() == Qt::Key_Escape;
}

}  // namespace

QStringList AboutNoteLines(Language language) {
    // The memory figure is this program's own: the private dirty memory of a running copy,
    // hidden in the tray and polling the UPS once a second: 2,456 kB of 1,024 bytes by
    // bench/run, which is 2.5 million bytes.
    QStringList lines;
    const char* const figure = language == Language::English ? "2.5" : "2,5";
    for (const std::string& line : zelto::AboutNoteLines(language, figure)) {
        lines << QString::fromStdString(line);
    }
    return lines;
}

TAboutBox::TAboutBox(Language language, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName("AboutBox");
    setWindowTitle(QString::fromUtf8(kAboutCaption));
    setFont(WindowFont());
    setFixedSize(kAboutWidth, kAboutHeight);

    Panel1 = new BevelPanel(this);
    Place(*Panel1, "Panel1");

    ProgramIcon = new QLabel(Panel1);
    Place(*ProgramIcon, "ProgramIcon");
    ProgramIcon->setScaledContents(true);
    ProgramIcon->setPixmap(AppIconPixmap(32));

    ProductName = TextLabel("ProductName", Panel1);
    ProductName->adjustSize();
    // Present but empty, as in the window's design.
    Comments = TextLabel("Comments", Panel1);
    Label23 = TextLabel("Label23", Panel1);
    Label24 = TextLabel("Label24", Panel1);

    Memo1 = new QPlainTextEdit(Panel1);
    Place(*Memo1, "Memo1");
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo1->setTabChangesFocus(true);
    QPalette buttonFace = Memo1->palette();
    buttonFace.setColor(QPalette::Base, buttonFace.color(QPalette::Button));
    Memo1->setPalette(buttonFace);
    Memo1->setPlainText(AboutNoteLines(language).join('\n'));
    Memo1->installEventFilter(this);

    OKButton = new QPushButton(QString::fromUtf8(LayoutRow(AboutLayout(), "OKButton").text), this);
    Place(*OKButton, "OKButton");
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    setTabOrder(Memo1, OKButton);
}

void TAboutBox::showEvent(QShowEvent* event) {
    CentreOnScreen(*this);
    QDialog::showEvent(event);
    Memo1->setFocus(Qt::OtherFocusReason);
}

void TAboutBox::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool TAboutBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Memo1 && event->type() == QEvent::KeyPress &&
        IsEnterOrEscape(*static_cast<QKeyEvent*>(event))) {
        event->accept();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace zelto
