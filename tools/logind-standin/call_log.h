#pragma once
// Where the stand-in records the calls it gets: standard output and, when given, a file, each
// line flushed at once so a watcher sees it while the stand-in keeps running.

#include <QFile>
#include <QString>

namespace zelto {

class CallLog {
public:
    // An empty path logs to standard output only.
    explicit CallLog(const QString& path);

    bool IsOpen() const { return path_.isEmpty() || file_.isOpen(); }
    QString ErrorString() const { return file_.errorString(); }

    // Writes "<local time with milliseconds> <line>".
    void Write(const QString& line);

private:
    QString path_;
    QFile file_;
};

}  // namespace zelto
