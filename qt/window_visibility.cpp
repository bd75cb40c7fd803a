#include "qt/window_visibility.h"

#include <QApplication>
#include <QWidget>

namespace zelto {

void ShowHide(QWidget& window, bool& windowHidden) {
    if (!windowHidden) {
        HideToTray(window, windowHidden);
        return;
    }
    windowHidden = false;
    window.showNormal();
    // The window the user last worked in goes to the front: a modal dialog open over the main
    // window, when there is one, so that the focus lands where input is accepted.
    QWidget* front = QApplication::activeModalWidget();
    if (front == nullptr || !front->isVisible() || !front->isEnabled()) {
        front = &window;
    }
    front->raise();
    front->activateWindow();
}

void HideToTray(QWidget& window, bool& windowHidden) {
    windowHidden = true;
    window.hide();
}

}  // namespace zelto
