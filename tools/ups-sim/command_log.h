#pragma once
// The command log: one timestamped line per command received, written through at once so that
// a test reading the file sees every line the moment the command has been handled.

#include <string>
#include <string_view>

namespace upssim {

// Local time with milliseconds: "2026-12-08T13:55:01.123".
std::string Timestamp();

class CommandLog {
public:
    CommandLog() = default;  // logs nothing
    explicit CommandLog(const std::string& path);
    ~CommandLog();
    CommandLog(const CommandLog&) = delete;
    CommandLog& operator=(const CommandLog&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    // "TIMESTAMP COMMAND", the command's bytes made printable.
    void Command(std::string_view command);
    // "TIMESTAMP # EVENT".
    void Event(std::string_view event);

private:
    void Write(const std::string& line);

    int fd_ = -1;
};

}  // namespace upssim
