#include "qt/countdown_dialog.h"

#include <QCloseEvent>
#include <QFont>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>

#include <algorithm>

#include "core/base/product.h"
#include "core/program/dialog_layouts.h"
#include "qt/widgets.h"

namespace zelto {
namespace {

// The places are the same in every language.
const ControlRow& Row(const char* name) {
    return LayoutRow(CountdownLayout(Language::Russian), name);
}

QString Caption(Language language, const char* name) {
    return QString::fromUtf8(LayoutRow(CountdownLayout(language), name).text);
}

void Place(QWidget& control, const char* name) {
    const Rect at = Row(name).geometry;
    control.setObjectName(QString::fromUtf8(name));
    control.setGeometry(at.left, at.top, at.width, at.height);
}

// A text that may outgrow its designed width keeps its place and widens to the right, so the
// wider font never clips it.
void FitWidth(QLabel* label, int designWidth) {
    label->resize(std::max(designWidth, label->sizeHint().width()), label->height());
}

}  // namespace

TForm2::TForm2(Language language, QWidget* parent)
    // A dialog is transient for its parent (or the application), so it gets no taskbar entry;
    // without the close button hint the window manager offers no Close either.
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      Label1(new QLabel(Caption(language, "Label1"), this)),
      Label2(new QLabel(Caption(language, "Label2"), this)),
      // Created first, so it is first in the tab order.
      Button1(new QPushButton(Caption(language, "Button1"), this)),
      Button2(new QPushButton(Caption(language, "Button2"), this)),
      lastFocused_(Button1) {
    setObjectName(QStringLiteral("TForm2"));
    setWindowTitle(QString::fromUtf8(kModelCaption));
    setFont(QFont(QStringLiteral("DejaVu Sans"), 8));
    setFixedSize(kCountdownWidth, kCountdownHeight);
    // The main window is not usable while it shows; the tray icon and its menu are (Exit from
    // the tray menu ends the countdown).
    setWindowModality(Qt::WindowModal);

    Place(*Label1, "Label1");
    Place(*Label2, "Label2");
    Place(*Button1, "Button1");
    Place(*Button2, "Button2");
    FitWidth(Label1, Row("Label1").geometry.width);
    FitWidth(Label2, Row("Label2").geometry.width);
    setTabOrder(Button1, Button2);
    // Neither button is a default one. QDialog would otherwise promote the first auto-default
    // button to default when it shows, and Enter could then press "Выключить сейчас" without
    // it having the focus; keyPressEvent gives Enter to the focused button instead.
    for (QPushButton* button : {Button1, Button2}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    connect(Button1, &QPushButton::clicked, this, [this] { emit answered(CountdownCancelled); });
    connect(Button2, &QPushButton::clicked, this, [this] { emit answered(CountdownGo); });
}

void TForm2::OpenCountdown(std::uint16_t seconds, const std::string& caption) {
    setWindowTitle(QString::fromStdString(caption));
    ShowCountdownSeconds(seconds);
    CentreOnScreen(*this);
    show();
    raise();
    activateWindow();
    (lastFocused_ ? lastFocused_.data() : Button1)->setFocus(Qt::OtherFocusReason);
}

void TForm2::ShowCountdownSeconds(std::uint16_t seconds) {
    Label2->setText(QString::number(seconds));
    FitWidth(Label2, Row("Label2").geometry.width);
}

void TForm2::CloseCountdown() {
    if (QWidget* focused = focusWidget(); focused == Button1 || focused == Button2) {
        lastFocused_ = static_cast<QPushButton*>(focused);
    }
    hide();
}

void TForm2::reject() {
    Button1->click();
}

void TForm2::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Once shown, the frame around the client area is known and can be centred as a whole.
    CentreOnScreen(*this);
}

void TForm2::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (enter && plain) {
        if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
            button->click();
        }
        return;
    }
    QDialog::keyPressEvent(event);
}

void TForm2::closeEvent(QCloseEvent* event) {
    // The program hides the dialog without a close event, so what arrives here is the title bar,
    // Alt+F4 or the end of the session. The user may not close the countdown; the session may,
    // and ends it as the program's end does.
    const auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (app != nullptr && app->isSavingSession()) {
        emit answered(CountdownProgramEnding);
        event->accept();
        return;
    }
    event->ignore();
}

}  // namespace zelto
