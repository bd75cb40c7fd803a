#pragma once
// A scratch folder holding a settings file, made the current directory (where the program reads
// its settings and writes its journal) for as long as it lives; the previous one comes back
// after.

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <string>

namespace zelto::fakes {

class SettingsFolder {
public:
    SettingsFolder() = default;
    SettingsFolder(const SettingsFolder&) = delete;
    SettingsFolder& operator=(const SettingsFolder&) = delete;
    ~SettingsFolder() {
        if (!previous_.isEmpty()) {
            QDir::setCurrent(previous_);
        }
    }

    // Writes UPSZelto.ini and enters the folder; false when any step fails.
    bool Enter(const std::string& ini) {
        if (!folder_.isValid()) {
            return false;
        }
        QFile file(folder_.filePath(QStringLiteral("UPSZelto.ini")));
        const auto size = static_cast<qint64>(ini.size());
        if (!file.open(QIODevice::WriteOnly) || file.write(ini.data(), size) != size) {
            return false;
        }
        file.close();
        if (previous_.isEmpty()) {
            previous_ = QDir::currentPath();
        }
        return QDir::setCurrent(folder_.path());
    }

    QString filePath(const QString& name) const { return folder_.filePath(name); }
    QString path() const { return folder_.path(); }

private:
    QTemporaryDir folder_;
    QString previous_;
};

}  // namespace zelto::fakes
