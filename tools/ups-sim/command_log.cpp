#include "command_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>

#include "printable.h"

namespace upssim {

std::string Timestamp() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[40];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    std::snprintf(text + length, sizeof text - length, ".%03d", static_cast<int>(millis));
    return text;
}

CommandLog::CommandLog(const std::string& path)
    : fd_(::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644)) {}

CommandLog::~CommandLog() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

void CommandLog::Command(std::string_view command) {
    Write(Timestamp() + " " + Printable(command) + "\n");
}

void CommandLog::Event(std::string_view event) {
    Write(Timestamp() + " # " + std::string(event) + "\n");
}

void CommandLog::Write(const std::string& line) {
    if (fd_ < 0) {
        return;
    }
    // O_APPEND and one write per line keep lines whole even with a reader polling the file.
    const ssize_t written = ::write(fd_, line.data(), line.size());
    static_cast<void>(written);
}

}  // namespace upssim
