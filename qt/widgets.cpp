#include "qt/widgets.h"

#include <qdrawutil.h>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

namespace zelto {

void BevelPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    qDrawShadePanel(&painter, rect(), palette(), true, 1);
    if (raisedInner_) {
        qDrawShadePanel(&painter, rect().adjusted(1, 1, -1, -1), palette(), false, 1);
    }
}

QFont WindowFont() {
    if (QFontDatabase::hasFamily("MS Sans Serif")) {
        QFont font("MS Sans Serif");
        font.setPointSize(8);
        return font;
    }
    QFont font;
    font.setFamilies({"DejaVu Sans Condensed", "DejaVu Sans"});
    font.setPointSizeF(7.5);
    return font;
}

void CentreOnScreen(QWidget& window) {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect placed = window.frameGeometry();
        placed.moveCenter(screen->availableGeometry().center());
        window.move(placed.topLeft());
    }
}

}  // namespace zelto
