#pragma once
// Real files for the settings tests: whole-file reads, a scoped working directory, and a child
// process that can make a file or directory read-only even for root.

#include <QDir>
#include <QFile>
#include <QString>

#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

#include <gtest/gtest.h>

namespace zelto::fakes {

inline std::string ReadWhole(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return "<missing>";
    }
    return file.readAll().toStdString();
}

// Runs the test body with the process's current directory switched to `dir`.
class InDirectory {
public:
    explicit InDirectory(const QString& dir) : previous_(QDir::currentPath()) {
        EXPECT_TRUE(QDir::setCurrent(dir));
    }
    ~InDirectory() { QDir::setCurrent(previous_); }
    InDirectory(const InDirectory&) = delete;
    InDirectory& operator=(const InDirectory&) = delete;

private:
    QString previous_;
};

// Runs `body` in a child process and returns the text it gave back. What the child changes (its
// working directory, its mounts) stays in the child.
inline std::string RunInChild(const std::function<std::string()>& body) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        return "pipe failed";
    }
    const pid_t child = fork();
    if (child < 0) {
        return "fork failed";
    }
    if (child == 0) {
        close(pipeFds[0]);
        const std::string result = body();
        [[maybe_unused]] const auto written = write(pipeFds[1], result.data(), result.size());
        _exit(0);
    }
    close(pipeFds[1]);
    std::string result;
    char buffer[512];
    ssize_t n;
    while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0) {
        result.append(buffer, static_cast<std::size_t>(n));
    }
    close(pipeFds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return result;
}

// In a child process only: makes the file or directory read-only for this process, with a
// read-only bind mount of it onto itself in a mount namespace of its own. Root writes through
// mode bits, so this is how a test makes the system refuse a write. False when the system does
// not allow it.
inline bool MountReadOnly(const std::string& path) {
    return unshare(CLONE_NEWNS) == 0 &&
           mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
           mount(path.c_str(), path.c_str(), nullptr, MS_BIND, nullptr) == 0 &&
           mount(nullptr, path.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
}

}  // namespace zelto::fakes
