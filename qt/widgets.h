#pragma once
// What the program's windows share: the bevelled panel, the window font and where a window opens.

#include <QFont>
#include <QRect>
#include <QString>
#include <QWidget>

#include "core/program/main_window_layout.h"

namespace zelto {

// A lowered outer and, with `raisedInner`, a raised inner bevel, one pixel each, around a filled
// background.
class BevelPanel : public QWidget {
public:
    explicit BevelPanel(QWidget* parent, bool raisedInner = true)
        : QWidget(parent), raisedInner_(raisedInner) {}

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool raisedInner_;
};

// The windows' font: the window design's MS Sans Serif when present, otherwise a narrow DejaVu
// sized so that every text keeps to the designed positions.
QFont WindowFont();

// Places a window at the centre of the primary screen's work area: the window as a whole, which
// is its client area until the window manager has framed it.
void CentreOnScreen(QWidget& window);

// A text of the program's table, in the language chosen.
inline QString ShownText(Language language, TextId id) {
    const std::string_view text = Text(language, id);
    return QString::fromUtf8(text.data(), static_cast<int>(text.size()));
}

inline QRect ToQRect(const Rect& rect) {
    return QRect(rect.left, rect.top, rect.width, rect.height);
}

}  // namespace zelto
