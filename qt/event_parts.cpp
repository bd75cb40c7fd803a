#include "qt/event_parts.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QtGlobal>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

#include "qt/tray_icon.h"

namespace zelto {

Moment SystemClock::Now() {
    // Asked twice a tick: the local offset, which costs a look at the system's time zone, is
    // worked out again only at each quarter hour (no zone changes its offset between them) or
    // when the clock was set back.
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    constexpr qint64 kQuarterHour = 15 * 60;
    const qint64 quarter = now - now % kQuarterHour;
    if (quarter != offsetQuarter_) {
        offsetQuarter_ = quarter;
        offset_ = QDateTime::fromSecsSinceEpoch(now).offsetFromUtc();
    }
    return Moment{now, offset_};
}

std::uint64_t DiskJournalFile::Size() {
    const QFileInfo info(QString::fromStdString(Path()));
    return info.exists() ? static_cast<std::uint64_t>(info.size()) : 0;
}

bool DiskJournalFile::Append(std::string_view bytes) {
    // Opened for each line: events are rare, and a file held open would outlive a rotation by
    // another copy or a user who moved the journal away.
    QFile file(QString::fromStdString(Path()));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        return false;
    }
    const auto size = static_cast<qint64>(bytes.size());
    bool written = file.write(bytes.data(), size) == size && file.flush();
#ifdef Q_OS_UNIX
    written = written && ::fdatasync(file.handle()) == 0;
#endif
    return written;
}

bool DiskJournalFile::Rotate() {
    const QString path = QString::fromStdString(Path());
    const QString old = QString::fromStdString(OldPath());
    QFile::remove(old);
    return QFile::rename(path, old);
}

void TrayBalloonNotifier::Show(const Notification& notification) {
    // Without a tray there is no balloon to show; the journal keeps the news.
    if (QSystemTrayIcon* icon = tray_.SystemTrayIcon()) {
        icon->showMessage(QString::fromStdString(notification.title),
                          QString::fromStdString(notification.body), QSystemTrayIcon::Warning);
    }
}

}  // namespace zelto
