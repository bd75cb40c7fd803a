// The memory baseline bench/run sets beside the program: a Qt program with nothing but a tray
// icon and a one-second timer, which is the least any Qt tray program holds. The timer only
// counts, so what it costs is the wake-up.
#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QTimer>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    QPixmap picture(16, 16);
    picture.fill(Qt::darkGreen);
    QSystemTrayIcon icon{QIcon(picture)};
    icon.show();

    unsigned long ticks = 0;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(1000);
    QObject::connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
    timer.start();

    return QApplication::exec();
}
