#include "qt/file_settings_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace zelto {
namespace {

// A settings file is a few hundred bytes. One far larger is treated as unreadable: its keys read
// as missing and writes are refused, so it is never cut short by a rewrite.
constexpr qint64 kLargestFile = 1024 * 1024;

}  // namespace

std::string FileSettingsStore::CurrentDirectory() {
    // QDir::currentPath() is empty when the directory has vanished; "." still names it for the
    // system, which then refuses reads and writes with the path shown as "./UPSZelto.ini".
    const QString dir = QDir::currentPath();
    return dir.isEmpty() ? std::string(".") : dir.toStdString();
}

std::optional<std::string> FileSettingsStore::ReadFile(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly) || file.size() > kLargestFile) {
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return std::nullopt;
    }
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

bool FileSettingsStore::Exists(const std::string& path) {
    return QFileInfo::exists(QString::fromStdString(path));
}

bool FileSettingsStore::ReplaceFile(const std::string& path, const std::string& text) {
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    const auto size = static_cast<qint64>(text.size());
    if (file.write(text.data(), size) != size) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

}  // namespace zelto
