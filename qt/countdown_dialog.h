#pragma once
// TForm2: the shutdown countdown as a modal dialog. Run() blocks in QDialog::exec(), a nested
// event loop, so the main window's poll timer keeps ticking while the seconds count down.

#include <QDialog>
#include <QPointer>
#include <QTimer>

#include <cstdint>

#include "core/monitor/countdown.h"

class QCloseEvent;
class QKeyEvent;
class QLabel;
class QPushButton;
class QShowEvent;

namespace zelto {

class CountdownDialog : public QDialog, public Countdown {
    Q_OBJECT

public:
    explicit CountdownDialog(QWidget* parent = nullptr);

    int Run(std::uint16_t& seconds) override;
    void Cancel() override;
    // The program is ending (Exit from the tray menu): a showing countdown ends with
    // CountdownProgramEnding and no power action follows.
    void EndForExit();

    void done(int result) override;
    // Escape lands here: it is the same as pressing "Отмена".
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Timer1Timer();
    void ShowSeconds();

    QLabel* Label1;
    QLabel* Label2;
    QPushButton* Button1;  // "Отмена"
    QPushButton* Button2;  // "Выключить сейчас"
    QTimer Timer1;

    // The count being shown, owned by the caller of Run(); null while hidden.
    std::uint16_t* seconds_ = nullptr;
    // The result the showing ends with; 0 while none is pending.
    int pendingResult_ = 0;
    // The button that had the focus when the dialog last ended; it gets it back next time.
    QPointer<QPushButton> lastFocused_;
};

}  // namespace zelto
