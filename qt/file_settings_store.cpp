#include "qt/file_settings_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

namespace zelto {

std::string FileSettingsStore::CurrentDirectory() {
    // QDir::currentPath() is empty when the directory has vanished; "." still names it for the
    // system, which then refuses reads and writes with the path shown as "./UPSZelto.ini".
    const QString dir = QDir::currentPath();
    return dir.isEmpty() ? std::string(".") : dir.toStdString();
}

std::optional<std::string> FileSettingsStore::ReadFile(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    // Never more than the file holds: a read sized by the limit alone would take 16 MiB of memory
    // for a file of a few hundred bytes.
    const QByteArray bytes =
        file.read(std::min(file.size(), static_cast<qint64>(kSettingsReadLimit)));
    if (file.error() != QFileDevice::NoError) {
        return std::nullopt;
    }
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

std::optional<std::uint64_t> FileSettingsStore::FileSize(const std::string& path) {
    const QFileInfo info(QString::fromStdString(path));
    if (!info.exists()) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(info.size());
}

bool FileSettingsStore::Exists(const std::string& path) {
    return QFileInfo::exists(QString::fromStdString(path));
}

bool FileSettingsStore::ReplaceFile(const std::string& path, const std::string& text) {
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    // The file holds passwords (the NUT server's accounts, the followed server's login): readable
    // by its owner alone, whatever the umask, and made so again by each write.
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const auto size = static_cast<qint64>(text.size());
    if (file.write(text.data(), size) != size) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

}  // namespace zelto
