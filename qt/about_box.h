#pragma once
// TAboutBox: the product line, the version and a short note, shown modally from the main window.
// It does nothing of its own beyond closing: with OK (result 1) or the title-bar close.

#include <QDialog>
#include <QStringList>

#include "core/program/dialog_layouts.h"

class QKeyEvent;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QShowEvent;
class QWidget;

namespace zelto {

// The eight lines of Memo1, with this program's memory figure.
QStringList AboutNoteLines(Language language);

class TAboutBox : public QDialog {
    Q_OBJECT

public:
    explicit TAboutBox(Language language, QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;
    // Escape never closes this dialog.
    void keyPressEvent(QKeyEvent* event) override;
    // Memo1 keeps Enter and Escape to itself.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* Panel1;
    QLabel* ProgramIcon;
    QLabel* ProductName;
    QLabel* Comments;
    QLabel* Label23;
    QLabel* Label24;
    QPlainTextEdit* Memo1;
    QPushButton* OKButton;
};

}  // namespace zelto
