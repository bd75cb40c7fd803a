#pragma once
// TForm2: the shutdown countdown's dialog. It shows what the program's countdown tells it, modal
// for the main window only, and reports its buttons with `answered`; it runs no loop of its own
// and counts nothing, so the poll timer drives the seconds as it drives everything else.

#include <QDialog>
#include <QPointer>

#include <cstdint>

#include "core/base/texts.h"
#include "core/monitor/countdown.h"

class QCloseEvent;
class QKeyEvent;
class QLabel;
class QPushButton;
class QShowEvent;

namespace zelto {

class TForm2 : public QDialog, public Countdown {
    Q_OBJECT

public:
    explicit TForm2(Language language, QWidget* parent = nullptr);

    void OpenCountdown(std::uint16_t seconds, const std::string& caption) override;
    void ShowCountdownSeconds(std::uint16_t seconds) override;
    void CloseCountdown() override;

    // Escape lands here: it is the same as pressing "Отмена".
    void reject() override;

signals:
    // A CountdownResult: a button was pressed, or the session is ending under the dialog.
    void answered(int result);

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QLabel* Label1;
    QLabel* Label2;
    QPushButton* Button1;  // "Отмена"
    QPushButton* Button2;  // "Выключить сейчас"

    // The button that had the focus when the dialog last closed; it gets it back next time.
    QPointer<QPushButton> lastFocused_;
};

}  // namespace zelto
