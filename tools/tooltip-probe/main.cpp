// tooltip-probe X Y WIDTH HEIGHT TEXT [DUMP_DIR]
//
// Tells whether the screen area X,Y,WIDTH,HEIGHT (a tool tip window another Qt program shows)
// shows TEXT. The tray keeps its tip to itself: nothing but the pixels on the screen says what
// it is. So this program grabs that area, then shows TEXT as a tool tip of its own (same Qt,
// same fonts, same style on the same display) and compares the two pictures pixel for pixel.
// Exit status 0: the same picture; 1: a different one (both saved in DUMP_DIR when given);
// 2: something went wrong.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QToolTip>
#include <QWidget>

#include <cstdio>

namespace {

QWidget* ShownToolTip() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QLatin1String("qtooltip_label") && widget->isVisible()) {
            return widget;
        }
    }
    return nullptr;
}

int ToInt(const char* text, bool* ok) {
    return QString::fromLocal8Bit(text).toInt(ok);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() != 6 && args.size() != 7) {
        std::fprintf(stderr, "usage: tooltip-probe X Y WIDTH HEIGHT TEXT [DUMP_DIR]\n");
        return 2;
    }
    bool ok[4] = {};
    const QRect area(ToInt(argv[1], &ok[0]), ToInt(argv[2], &ok[1]), ToInt(argv[3], &ok[2]),
                     ToInt(argv[4], &ok[3]));
    if (!(ok[0] && ok[1] && ok[2] && ok[3]) || area.isEmpty()) {
        std::fprintf(stderr, "tooltip-probe: bad area\n");
        return 2;
    }
    const QString text = args[5];
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        std::fprintf(stderr, "tooltip-probe: no screen\n");
        return 2;
    }

    // First the screen, before a tool tip of ours could cover it.
    const QImage onScreen = screen->grabWindow(0, area.x(), area.y(), area.width(), area.height())
                                .toImage()
                                .convertToFormat(QImage::Format_RGB32);

    // Well away from the other one, so that the two never touch.
    const QRect free = screen->geometry();
    QToolTip::showText(QPoint(free.left() + 20, free.bottom() - 80), text);
    QWidget* tip = nullptr;
    QElapsedTimer waited;
    waited.start();
    while ((tip = ShownToolTip()) == nullptr && waited.elapsed() < 3000) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    if (tip == nullptr) {
        std::fprintf(stderr, "tooltip-probe: could not show a tool tip\n");
        return 2;
    }
    const QImage expected = tip->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QToolTip::hideText();

    const bool same = expected == onScreen;
    std::printf("screen %dx%d, \"%s\" drawn %dx%d: %s\n", onScreen.width(), onScreen.height(),
                text.toUtf8().constData(), expected.width(), expected.height(),
                same ? "same" : "different");
    if (!same && args.size() == 7) {
        const QDir dump(args[6]);
        onScreen.save(dump.filePath("tooltip-on-screen.png"));
        expected.save(dump.filePath("tooltip-expected.png"));
    }
    return same ? 0 : 1;
}
