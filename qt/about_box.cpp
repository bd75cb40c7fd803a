#include "qt/about_box.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include "core/base/product.h"
#include "qt/images.h"
#include "qt/widgets.h"

namespace zelto {
namespace {

QLabel* EmptyLabel(const char* name, QWidget* parent, const QPoint& at) {
    auto label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->move(at);
    return label;
}

bool IsEnterOrEscape(const QKeyEvent& key) {
    return key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter || key.key() == Qt::Key_Escape;
}

}  // namespace

QStringList AboutNoteLines() {
    // The memory figure is this program's own: the private dirty memory of a running copy,
    // hidden in the tray and polling the UPS once a second: 2,456 kB of 1,024 bytes by
    // bench/run, which is 2.5 million bytes.
    return {
        QString::fromUtf8("Версия 1.0, выпуск 2026 г. Авторы: разработчики UPS Zelto."),
        QString::fromUtf8("Связь: страница проекта UPS Zelto, раздел замечаний."),
        QString(),
        QString::fromUtf8("Эта программа появилась потому, что родной"),
        QString::fromUtf8("драйвер производителя UPS постоянно держит"),
        QString::fromUtf8("в памяти около 30 МБ, а ей самой хватает"),
        QString::fromUtf8("примерно 2,5 МБ. Если заметите ошибку,"),
        QString::fromUtf8("пожалуйста, сообщите о ней разработчикам."),
    };
}

TAboutBox::TAboutBox(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName("AboutBox");
    setWindowTitle(QString::fromUtf8(kAboutCaption));
    setFont(WindowFont());
    setFixedSize(kAboutWidth, kAboutHeight);

    Panel1 = new BevelPanel(this);
    Panel1->setObjectName("Panel1");
    Panel1->setGeometry(8, 8, 281, 169);

    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setObjectName("ProgramIcon");
    ProgramIcon->setGeometry(24, 16, 33, 33);
    ProgramIcon->setScaledContents(true);
    ProgramIcon->setPixmap(AppIconPixmap(32));

    ProductName = new QLabel(QString::fromUtf8(kProductName), Panel1);
    ProductName->setObjectName("ProductName");
    ProductName->setTextFormat(Qt::PlainText);
    ProductName->move(88, 16);
    ProductName->adjustSize();

    // Present but empty, as in the window's design.
    Comments = EmptyLabel("Comments", Panel1, QPoint(88, 32));
    Label23 = EmptyLabel("Label23", Panel1, QPoint(88, 48));
    Label24 = EmptyLabel("Label24", Panel1, QPoint(8, 56));

    Memo1 = new QPlainTextEdit(Panel1);
    Memo1->setObjectName("Memo1");
    Memo1->setGeometry(8, 72, 265, 89);
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo1->setTabChangesFocus(true);
    QPalette buttonFace = Memo1->palette();
    buttonFace.setColor(QPalette::Base, buttonFace.color(QPalette::Button));
    Memo1->setPalette(buttonFace);
    Memo1->setPlainText(AboutNoteLines().join('\n'));
    Memo1->installEventFilter(this);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName("OKButton");
    OKButton->setGeometry(111, 188, 75, 25);
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
