// The settings file on disk when it is not what the program wrote: binary bytes, a file too large
// to be a settings file, a read-only file, a working directory that was removed. Reads give the
// right value or the default, writes keep every other byte or are refused with the path, and
// nothing is left behind.

#include <QByteArray>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include <gtest/gtest.h>

#include "core/base/errors.h"
#include "core/base/settings.h"
#include "qt/file_settings_store.h"
#include "tests/support/file_system_rig.h"
#include "tests/support/settings_write.h"

namespace zelto {
namespace {

using fakes::InDirectory;
using fakes::ReadWhole;
using namespace std::string_literals;

constexpr qint64 kSizeLimit = 1024 * 1024;

void WriteFile(const QString& path, const std::string& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes.data(), static_cast<qint64>(bytes.size())),
              static_cast<qint64>(bytes.size()));
}

// The file's text and then zeros up to `size` bytes, without writing them: a sparse file.
void WriteSparseFile(const QString& path, const std::string& text, qint64 size) {
    WriteFile(path, text);
    QFile file(path);
    ASSERT_TRUE(file.resize(size));
}

// What identifies a large file's state without reading it all: size, modification time, and a
// hash of its first and last megabyte.
std::string Fingerprint(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return "<missing>";
    }
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(file.read(1 << 20));
    file.seek(std::max<qint64>(0, file.size() - (1 << 20)));
    hash.addData(file.read(1 << 20));
    const QFileInfo info(path);
    return std::to_string(info.size()) + " " +
           std::to_string(info.lastModified().toMSecsSinceEpoch()) + " " +
           hash.result().toHex().toStdString();
}

// The names in the directory: a write that failed or finished must leave no temporary file.
QStringList Entries(const QString& dir) {
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

using test::WriteError;

TEST(SettingsFileRobustness, BinaryBytesOnDiskReadRightAndSurviveAWrite) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    InDirectory cwd(dir.path());
    const QString path = dir.filePath("UPSZelto.ini");
    const std::string before =
        "\xEF\xBB\xBF\0\xFF\xFE\xC3\r\n[UPS]\r\nCompOff=2\r\nnoise=\0\x80\x81\r\x1A\n"
        "OffUPS = 4 \n[Other]\nx=\xF0\x9F\n"s;
    WriteFile(path, before);
    FileSettingsStore store;
    Settings settings(store);

    EXPECT_EQ(settings.ReadInt("CompOff", "0"), 2);
    EXPECT_EQ(settings.ReadInt("OffUPS", "0"), 4);
    EXPECT_EQ(settings.ReadInt("OFFAfter", "10"), 10);
    settings.WriteSetting("UPS", "OFFAfter", "30");
    settings.WriteSetting("UPS", "CompOff", "5");
    EXPECT_EQ(ReadWhole(path),
              "\xEF\xBB\xBF\0\xFF\xFE\xC3\r\n[UPS]\r\nCompOff=5\r\nnoise=\0\x80\x81\r\x1A\n"
              "OffUPS = 4 \nOFFAfter=30\r\n[Other]\nx=\xF0\x9F\n"s);
    EXPECT_EQ(settings.ReadInt("OFFAfter", "10"), 30);
    EXPECT_EQ(Entries(dir.path()), QStringList{"UPSZelto.ini"});
}

// Past the size a rewrite takes, and past what is read at all: the keys at the top still hold,
// and the refusal names the whole size.
TEST(SettingsFileRobustness, AFileOverTheSizeLimitReadsButIsNeverRewritten) {
    for (const qint64 size : {kSizeLimit + 1, qint64{64} * 1024 * 1024}) {
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        InDirectory cwd(dir.path());
        const QString path = dir.filePath("UPSZelto.ini");
        WriteSparseFile(path, "[UPS]\nCompOff=3\n", size);
        const std::string before = Fingerprint(path);
        FileSettingsStore store;
        Settings settings(store);

        EXPECT_EQ(settings.ReadInt("CompOff", "0"), 3) << size;
        EXPECT_EQ(WriteError(settings, "CompOff", "1"), path.toStdString() + " is too large (" +
                                                            std::to_string(size) +
                                                            " bytes) to be rewritten safely");
        EXPECT_EQ(Fingerprint(path), before);
        EXPECT_EQ(Entries(dir.path()), QStringList{"UPSZelto.ini"});
    }
}

TEST(SettingsFileRobustness, AFileAtTheSizeLimitStillReads) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    InDirectory cwd(dir.path());
    WriteSparseFile(dir.filePath("UPSZelto.ini"), "[UPS]\nCompOff=3\n", kSizeLimit);
    FileSettingsStore store;
    Settings settings(store);
    EXPECT_EQ(settings.ReadInt("CompOff", "0"), 3);
}

// Root writes through mode bits, so the file is made read-only by a read-only bind mount of the
// file itself, in a child process. The directory stays writable: the atomic replacement must not
// slip a new file in beside it.
TEST(SettingsFileRobustness, AReadOnlyFileReadsAndRefusesWrites) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("UPSZelto.ini");
    const std::string before = "; mine\r\n[UPS]\r\nCompOff=3\r\n";
    WriteFile(path, before);
    const std::string dirPath = dir.path().toStdString();
    const std::string filePath = path.toStdString();

    const std::string result = fakes::RunInChild([&]() -> std::string {
        if (!fakes::MountReadOnly(filePath) || chdir(dirPath.c_str()) != 0) {
            return "setup failed";
        }
        FileSettingsStore store;
        Settings settings(store);
        std::string seen = settings.ReadSetting("UPS", "CompOff", "0");
        seen += " | " + WriteError(settings, "CompOff", "1");
        seen += " | " + WriteError(settings, "OffUPS", "2");
        return seen + " | " + settings.ReadSetting("UPS", "CompOff", "0");
    });
    const std::string refused = "Unable to write to " + filePath;
    EXPECT_EQ(result, "3 | " + refused + " | " + refused + " | 3");
    EXPECT_EQ(ReadWhole(path), before);
    EXPECT_EQ(Entries(dir.path()), QStringList{"UPSZelto.ini"});
}

// The working directory removed under the running program: there is no file to read and nowhere
// to write one, and the error names the only path there is.
TEST(SettingsFileRobustness, AVanishedWorkingDirectoryGivesDefaultsAndAClearError) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string gone = dir.filePath("gone").toStdString();
    const std::string result = fakes::RunInChild([&gone]() -> std::string {
        if (mkdir(gone.c_str(), 0755) != 0 || chdir(gone.c_str()) != 0 ||
            rmdir(gone.c_str()) != 0) {
            return "setup failed";
        }
        FileSettingsStore store;
        Settings settings(store);
        std::string seen = settings.FilePath();
        seen += " | " + std::to_string(settings.ReadInt("OFFAfter", "10"));
        seen += " | " + WriteError(settings, "COMPort", "0");
        return seen;
    });
    EXPECT_EQ(result, "./UPSZelto.ini | 10 | Unable to write to ./UPSZelto.ini");
    EXPECT_TRUE(Entries(dir.path()).isEmpty());
}

}  // namespace
}  // namespace zelto
