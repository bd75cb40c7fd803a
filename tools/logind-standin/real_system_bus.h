#pragma once
// Recognises D-Bus addresses that lead to the machine's real system bus, which the stand-in and
// the tests must never reach: its logind would really switch the computer off.

#include <QDir>
#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <QUrl>

namespace zelto {

// The sockets the system bus listens on; /var/run is usually a link to /run.
inline QStringList RealSystemBusSockets() {
    return {QStringLiteral("/run/dbus/system_bus_socket"),
            QStringLiteral("/var/run/dbus/system_bus_socket")};
}

// The path with every link resolved, also when the file itself does not exist (yet): a link to
// the real socket is the real socket.
inline QString ResolvedPath(const QString& path, int depth = 0) {
    const QFileInfo info(path);
    if (info.isSymLink() && depth < 16) {
        return ResolvedPath(info.symLinkTarget(), depth + 1);
    }
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return QDir::cleanPath((folder.isEmpty() ? info.absolutePath() : folder) + QLatin1Char('/') +
                           info.fileName());
}

// True when any entry of the (semicolon-separated) address is, or may be, the real system bus.
// Only unix sockets by path or abstract name and TCP are taken as private; anything libdbus
// would resolve by itself (systemd:, autolaunch:, unix:runtime=...) counts as real.
inline bool NamesRealSystemBus(const QString& address) {
    const QStringList entries = address.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    if (entries.isEmpty()) {
        return true;
    }
    for (const QString& entry : entries) {
        const qsizetype colon = entry.indexOf(QLatin1Char(':'));
        if (colon <= 0) {
            return true;
        }
        const QString transport = entry.left(colon);
        if (transport == QLatin1String("tcp") || transport == QLatin1String("nonce-tcp")) {
            continue;
        }
        if (transport != QLatin1String("unix")) {
            return true;
        }
        bool privateSocket = false;
        for (const QString& pair : entry.mid(colon + 1).split(QLatin1Char(','))) {
            if (pair.startsWith(QLatin1String("abstract="))) {
                privateSocket = true;
            } else if (pair.startsWith(QLatin1String("path="))) {
                // Values may be percent-escaped.
                const QString socket =
                    ResolvedPath(QUrl::fromPercentEncoding(pair.mid(5).toUtf8()));
                for (const QString& real : RealSystemBusSockets()) {
                    if (socket == ResolvedPath(real)) {
                        return true;
                    }
                }
                privateSocket = true;
            }
        }
        if (!privateSocket) {
            return true;
        }
    }
    return false;
}

}  // namespace zelto
