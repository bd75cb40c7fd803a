// The settings file on a real file system: where it lives, what the first write creates, and what
// a refused write says.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <unistd.h>

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

TEST(SettingsFile, FirstWriteCreatesTheFileInTheCurrentDirectory) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    InDirectory cwd(dir.path());
    FileSettingsStore store;
    Settings settings(store);

    EXPECT_EQ(settings.FilePath(), (dir.path() + "/UPSZelto.ini").toStdString());
    EXPECT_EQ(settings.ReadSetting("UPS", "CompOff", "0"), "0");
    EXPECT_FALSE(QFile::exists(dir.filePath("UPSZelto.ini"))) << "reading must not create it";

    settings.WriteSetting("UPS", "COMPort", "-1");
    EXPECT_EQ(ReadWhole(dir.filePath("UPSZelto.ini")), "[UPS]\nCOMPort=-1\n");
    // The temporary file of the atomic replacement is gone.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"UPSZelto.ini"});
    // It holds passwords: its owner's alone, also when it was readable by all before.
    const auto ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    const auto groupAndOthers = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                QFileDevice::WriteOther | QFileDevice::ExeOther;
    EXPECT_EQ(QFile::permissions(dir.filePath("UPSZelto.ini")) & (ownerOnly | groupAndOthers),
              ownerOnly);
    QFile::setPermissions(dir.filePath("UPSZelto.ini"), ownerOnly | QFileDevice::ReadOther);
    settings.WriteSetting("UPS", "NUTPassword", "pw");
    EXPECT_EQ(QFile::permissions(dir.filePath("UPSZelto.ini")) & (ownerOnly | groupAndOthers),
              ownerOnly);
}

TEST(SettingsFile, EachWorkingDirectoryHasItsOwnFileWhateverItsLength) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString longDir =
        root.filePath("a-directory-whose-name-alone-is-longer-than-sixty-characters-xxxxxxxx");
    const QString other = root.filePath("other");
    ASSERT_TRUE(QDir().mkpath(longDir));
    ASSERT_TRUE(QDir().mkpath(other));
    ASSERT_GT(longDir.size(), 60);

    FileSettingsStore store;
    Settings settings(store);
    {
        InDirectory cwd(longDir);
        settings.WriteSetting("UPS", "CompOff", "4");
        EXPECT_EQ(settings.ReadInt("CompOff", "0"), 4);
    }
    {
        InDirectory cwd(other);
        EXPECT_EQ(settings.ReadInt("CompOff", "0"), 0);
        settings.WriteSetting("UPS", "CompOff", "2");
    }
    EXPECT_EQ(ReadWhole(longDir + "/UPSZelto.ini"), "[UPS]\nCompOff=4\n");
    EXPECT_EQ(ReadWhole(other + "/UPSZelto.ini"), "[UPS]\nCompOff=2\n");
}

TEST(SettingsFile, EmptyValueIsAnErrorNotTheDefault) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    InDirectory cwd(dir.path());
    QFile file(dir.filePath("UPSZelto.ini"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[UPS]\r\nOFFAfter=\r\n");
    file.close();

    FileSettingsStore store;
    Settings settings(store);
    try {
        settings.ReadInt("OFFAfter", "10");
        ADD_FAILURE() << "an empty value was accepted";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "'' is not a valid integer value");
    }
}

TEST(SettingsFile, AFileThatCannotBeReadIsNeverReplaced) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    InDirectory cwd(dir.path());
    // A directory in the file's place: it exists, but has no text to keep.
    ASSERT_TRUE(QDir(dir.path()).mkdir("UPSZelto.ini"));
    FileSettingsStore store;
    Settings settings(store);
    EXPECT_EQ(settings.ReadSetting("UPS", "CompOff", "0"), "0");
    EXPECT_EQ(test::WriteError(settings, "CompOff", "1"),
              "Unable to write to " + (dir.path() + "/UPSZelto.ini").toStdString());
    EXPECT_TRUE(QFileInfo(dir.filePath("UPSZelto.ini")).isDir());
}

// Root writes into a mode 555 directory, so a refused write needs a read-only mount, made in a
// child process with a mount namespace of its own.
TEST(SettingsFile, RefusedWriteNamesTheFullPath) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string path = dir.path().toStdString();
    const std::string result = fakes::RunInChild([&path]() -> std::string {
        if (!fakes::MountReadOnly(path) || chdir(path.c_str()) != 0) {
            return "setup failed";
        }
        FileSettingsStore store;
        Settings settings(store);
        try {
            settings.WriteSetting("UPS", "COMPort", "0");
            return "written";
        } catch (const Error& e) {
            return e.what();
        }
    });
    EXPECT_EQ(result, "Unable to write to " + path + "/UPSZelto.ini");
    EXPECT_FALSE(QFile::exists(dir.filePath("UPSZelto.ini")));
}

}  // namespace
}  // namespace zelto
