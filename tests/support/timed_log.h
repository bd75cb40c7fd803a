#pragma once
// The timestamped logs of the UPS simulator and the logind stand-in, read as times and texts:
// "2026-12-08T13:55:01.123 Q1" becomes {milliseconds since the epoch, "Q1"}. Both write the
// local time with milliseconds, so times from the two logs can be compared with each other and
// with the test's own clock (NowMs). Header-only.

#include <QDateTime>
#include <QFile>
#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zelto::test {

struct TimedLine {
    std::int64_t ms = 0;  // milliseconds since the epoch
    std::string text;     // what follows the time
};

// Events logged by two processes within this many milliseconds count as one moment: each
// process is woken on its own, so their timestamps of one cause can come out in either order.
inline constexpr std::int64_t kSameMomentMs = 50;

inline std::int64_t NowMs() {
    return QDateTime::currentMSecsSinceEpoch();
}

// One log line; nothing when it does not start with a time.
inline std::optional<TimedLine> ParseTimedLine(const std::string& line) {
    const auto space = line.find(' ');
    if (space == std::string::npos) {
        return std::nullopt;
    }
    const QDateTime time =
        QDateTime::fromString(QString::fromStdString(line.substr(0, space)), Qt::ISODateWithMs);
    if (!time.isValid()) {
        return std::nullopt;
    }
    return TimedLine{time.toMSecsSinceEpoch(), line.substr(space + 1)};
}

inline std::vector<TimedLine> ParseTimedLines(const std::vector<std::string>& lines) {
    std::vector<TimedLine> parsed;
    for (const auto& line : lines) {
        if (auto entry = ParseTimedLine(line)) {
            parsed.push_back(std::move(*entry));
        }
    }
    return parsed;
}

// Whole lines of a log file; a line still being written has no newline yet and is left out.
inline std::vector<TimedLine> ReadTimedLog(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray text = file.readAll();
    std::vector<std::string> lines;
    qsizetype start = 0;
    for (qsizetype end = text.indexOf('\n'); end >= 0; end = text.indexOf('\n', start)) {
        lines.push_back(text.mid(start, end - start).toStdString());
        start = end + 1;
    }
    return ParseTimedLines(lines);
}

// The times of the lines whose text is exactly `text`, oldest first.
inline std::vector<std::int64_t> TimesOf(const std::vector<TimedLine>& lines,
                                         const std::string& text) {
    std::vector<std::int64_t> times;
    for (const auto& line : lines) {
        if (line.text == text) {
            times.push_back(line.ms);
        }
    }
    return times;
}

}  // namespace zelto::test
