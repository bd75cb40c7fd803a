#pragma once
// The journal: one line per event, appended and flushed at once, so that a power cut loses at
// most the line being written. Bounded: the file is renamed to the old journal before it would
// grow past 1 MiB, and one old journal is kept.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "core/events/event.h"

namespace zelto {

// Beside the settings file.
inline constexpr std::string_view kJournalFileName = "UPSZelto.log";
inline constexpr std::string_view kOldJournalFileName = "UPSZelto.log.1";
inline constexpr std::uint64_t kJournalMaxBytes = 1024 * 1024;
// Lines the journal keeps in memory for the window.
inline constexpr std::size_t kJournalRecentLines = 100;

// The journal file as the front end keeps it. None of these may throw.
class JournalFile {
public:
    virtual ~JournalFile() = default;
    // The journal's full path, for the report of a failure.
    virtual std::string Path() const = 0;
    // The journal's size in bytes; 0 when there is none.
    virtual std::uint64_t Size() = 0;
    // Appends the bytes (creating the file when missing) and flushes them to the system; false
    // when either fails.
    virtual bool Append(std::string_view bytes) = 0;
    // Renames the journal to the old journal, replacing that; false when it fails.
    virtual bool Rotate() = 0;
};

// A journal file at a path the front end names; the old journal is the same path with ".1"
// appended.
class JournalFileAt : public JournalFile {
public:
    explicit JournalFileAt(std::string path) : path_(std::move(path)) {}
    std::string Path() const final { return path_; }
    std::string OldPath() const { return path_ + ".1"; }

private:
    std::string path_;
};

class Journal final : public EventSink {
public:
    // `reportFailure` gets the error text the first time the journal cannot be written; later
    // failures are quiet, and every line is still tried.
    Journal(JournalFile& file, std::function<void(const std::string&)> reportFailure)
        : file_(file), reportFailure_(std::move(reportFailure)) {}

    void OnEvent(const Event& event) override;
    // Appends one line, which gets its line end here.
    void Write(const std::string& line);

    // The latest lines written this run (whether or not the file took them), oldest first.
    const std::deque<std::string>& Recent() const { return recent_; }
    // The recent lines as the journal window shows them, oldest first, joined by `lineBreak`.
    std::string RecentText(std::string_view lineBreak) const;

private:
    void Failed();

    JournalFile& file_;
    std::function<void(const std::string&)> reportFailure_;
    bool reported_ = false;
    std::deque<std::string> recent_;
};

}  // namespace zelto
