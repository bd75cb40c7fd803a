// Program entry: the application, the one-copy lock, the platform pieces, the program and its
// windows, then the event loop until Exit (or SIGTERM / SIGINT) ends it.
#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <malloc.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <memory>

#include "core/base/product.h"
#include "qt/images.h"
#include "qt/single_instance.h"
#include "qt/zelto_application.h"

namespace {

// SIGTERM and SIGINT arrive as readable data on a signalfd, so they are handled in the event
// loop like any other event and no code runs inside a signal handler.
class TerminationSignals {
public:
    // Must run before any thread starts, so that every thread inherits the blocked mask and
    // the signals can only be picked up from the descriptor.
    TerminationSignals() {
        sigemptyset(&signals_);
        sigaddset(&signals_, SIGTERM);
        sigaddset(&signals_, SIGINT);
        pthread_sigmask(SIG_BLOCK, &signals_, nullptr);
        fd_ = signalfd(-1, &signals_, SFD_NONBLOCK | SFD_CLOEXEC);
    }
    ~TerminationSignals() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // Ends the event loop when a signal comes, as long as the returned notifier lives. exit(),
    // not quit(): the main window refuses to close, and a refused close would stop quit().
    std::unique_ptr<QSocketNotifier> ExitOnSignal() const {
        if (fd_ < 0) {
            return nullptr;
        }
        auto notifier = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, [fd = fd_] {
            signalfd_siginfo info{};
            while (read(fd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
            }
            QCoreApplication::exit(0);
        });
        return notifier;
    }

private:
    sigset_t signals_{};
    int fd_ = -1;
};

// Long enough for the tray to take the icon and for the first records.
constexpr int kSettledMs = 5000;

}  // namespace

int main(int argc, char** argv) {
    TerminationSignals termination;

    // Qt's own event loop rather than GLib's: the program is a tray icon and a one-second poll,
    // which needs nothing of GLib, and GLib's loop costs more for each wake-up and each change
    // of a notifier.
    qputenv("QT_NO_GLIB", "1");
    QApplication app(argc, argv);
    // The title of the application's windows and taskbar entry. Not set as the display name:
    // Qt would append that to every caption, and the windows' captions are their own.
    QApplication::setApplicationName(QString::fromUtf8(zelto::kApplicationTitle));
    QApplication::setWindowIcon(zelto::AppIcon());
    // The program lives in the tray; a hidden main window must not end it.
    QApplication::setQuitOnLastWindowClosed(false);
    const auto signalNotifier = termination.ExitOnSignal();

    // One copy per user, decided before the settings are read or the port opened: a later start
    // shows the running copy's window and ends.
    zelto::SingleInstance instance;
    switch (instance.Claim()) {
        case zelto::SingleInstance::Role::First:
            break;
        case zelto::SingleInstance::Role::Second:
            return 0;
        case zelto::SingleInstance::Role::Unasked:
            return 1;
    }

    zelto::ZeltoApplication program;
    QObject::connect(&instance, &zelto::SingleInstance::showRequested, &program.Form(),
                     &zelto::MainWindowHost::ShowMainWindow);
    program.Start();
    // Start-up leaves freed pages behind in the heap (platform, fonts, pictures); once the icon
    // is in the tray and the first records are in, they go back to the system. The program
    // keeps no more than that while it sits in the tray.
    QTimer::singleShot(kSettledMs, [] { malloc_trim(0); });

    return QApplication::exec();
}
