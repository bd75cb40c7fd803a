#pragma once
// PtySim: runs the UPS simulator (build/ups-sim) for a test, on a link in a private temporary
// directory, and talks to it.
//
//   zelto::test::PtySim sim(zelto::test::PtySim::Options{{"--time-scale", "600"}});
//   ASSERT_TRUE(sim.Start());                 // waits until sim.LinkPath() can be opened
//   port.ComOpen(sim.LinkPath(), 2400);       // the link is a pseudo-terminal
//   ASSERT_TRUE(sim.Send("mains off"));       // a control line; waits until it was applied
//   sim.WaitForCommand("Q1");                 // the command log, see Commands()
//   sim.Kill();  sim.Start();                 // the device vanishes and comes back, same path
//
// Control lines are those of "ups-sim --help" (mains on|off, battery V, load N, flags ...,
// and the faults silent, split, short, long, double, badload, badbattery, garbage N, flood N).
// Send() goes through the simulator's stdin; do not mix it with a --control FIFO in one test,
// since it counts the simulator's acknowledgements. The destructor stops the simulator and
// removes the directory. Header-only, POSIX; usable from any test binary.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace zelto::test {

class PtySim {
public:
    struct Options {
        std::vector<std::string> arguments;  // more ups-sim options ("--time-scale", "600")
        std::string linkName = "ups";        // file name of the link in the private directory
        std::string binary = DefaultBinary();
    };

    PtySim() : PtySim(Options{}) {}
    explicit PtySim(Options options) : options_(std::move(options)) {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/zelto-sim-XXXXXX";
        if (::mkdtemp(pattern.data()) != nullptr) {
            directory_ = pattern;
        }
        linkPath_ = directory_ + "/" + options_.linkName;
        logPath_ = directory_ + "/commands.log";
        outputPath_ = directory_ + "/output.txt";
    }
    ~PtySim() {
        Stop();
        if (!directory_.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(directory_, ignored);
        }
    }
    PtySim(const PtySim&) = delete;
    PtySim& operator=(const PtySim&) = delete;

    static std::string DefaultBinary() {
#ifdef ZELTO_BUILD_DIR
        return std::string(ZELTO_BUILD_DIR) + "/ups-sim";
#else
        const char* dir = std::getenv("ZELTO_BUILD_DIR");
        return std::string(dir ? dir : "build") + "/ups-sim";
#endif
    }

    const std::string& Directory() const {
        return directory_;
    }
    const std::string& LinkPath() const {
        return linkPath_;
    }
    const std::string& LogPath() const {
        return logPath_;
    }
    pid_t Pid() const {
        return pid_;
    }

    // Starts the simulator (again, after Stop or Kill: same link path, same log, which grows)
    // and waits until its link is in place. False when it did not come up in time.
    bool Start(std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        Stop();
        if (directory_.empty()) {
            return false;
        }
        int control[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, control) != 0) {
            return false;
        }
        const int output =
            ::open(outputPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        std::vector<std::string> arguments = {options_.binary, "--log", logPath_};
        arguments.insert(arguments.end(), options_.arguments.begin(), options_.arguments.end());
        arguments.push_back(linkPath_);
        std::vector<char*> argv;
        for (auto& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, control[1], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, output, STDERR_FILENO);
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t none;
        sigemptyset(&none);
        sigset_t defaults;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGPIPE);
        sigaddset(&defaults, SIGTERM);
        sigaddset(&defaults, SIGINT);
        posix_spawnattr_setsigmask(&attributes, &none);
        posix_spawnattr_setsigdefault(&attributes, &defaults);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
        const int failed =
            ::posix_spawn(&pid_, argv[0], &actions, &attributes, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
        ::close(control[1]);
        ::close(output);
        if (failed != 0) {
            ::close(control[0]);
            pid_ = -1;
            return false;
        }
        control_ = control[0];
        acknowledged_ = 0;
        // The simulator announces itself only once the link points at its new terminal, which
        // also tells a restart apart from the stale link a killed simulator leaves behind.
        const bool up =
            WaitFor(timeout, [this] { return Output().find(" -> /dev/") != std::string::npos; });
        struct stat info {};
        return up && ::stat(linkPath_.c_str(), &info) == 0;
    }

    // SIGTERM and wait: the simulator removes its link on the way out.
    void Stop() {
        End(SIGTERM);
    }
    // SIGKILL and wait: the device is gone at once and the stale link stays behind.
    void Kill() {
        End(SIGKILL);
    }

    bool Running() {
        if (pid_ <= 0) {
            return false;
        }
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            CloseControl();
            return false;
        }
        return true;
    }

    // Sends one control line and waits for the simulator's "ok:" or "error:" for it. True only
    // when it was accepted.
    bool Send(const std::string& line,
              std::chrono::milliseconds timeout = std::chrono::seconds(3)) {
        if (control_ < 0) {
            return false;
        }
        const std::string text = line + "\n";
        if (::send(control_, text.data(), text.size(), MSG_NOSIGNAL) !=
            static_cast<ssize_t>(text.size())) {
            return false;
        }
        const std::size_t wanted = ++acknowledged_;
        bool accepted = false;
        const bool answered = WaitFor(timeout, [&] {
            std::size_t seen = 0;
            for (const auto& out : OutputLines()) {
                const bool ok = out.rfind("ok: ", 0) == 0;
                if (ok || out.rfind("error: ", 0) == 0) {
                    if (++seen == wanted) {
                        accepted = ok;
                        return true;
                    }
                }
            }
            return false;
        });
        return answered && accepted;
    }

    // Everything the simulator printed since it was last started (events such as
    // "switch-off in 05 min", "output off", and the acknowledgements).
    std::string Output() const {
        return ReadFile(outputPath_);
    }
    std::vector<std::string> OutputLines() const {
        return Lines(Output());
    }

    // The raw command log: "2026-12-08T13:55:01.123 Q1" per command received and
    // "2026-12-08T13:55:01.123 # event" per event.
    std::vector<std::string> LogLines() const {
        return Lines(ReadFile(logPath_));
    }
    // The commands the simulator received, oldest first, without timestamps or events
    // ("Q1", "Q", "S05R0000"; bytes outside printable ASCII as \xNN).
    std::vector<std::string> Commands() const {
        return LogPart(false);
    }
    // The events in the log ("beeper off", "switch-off in 05 min", "output off", ...).
    std::vector<std::string> Events() const {
        return LogPart(true);
    }

    // Waits until the command log holds at least `count` copies of `command`.
    bool WaitForCommand(const std::string& command, std::size_t count = 1,
                        std::chrono::milliseconds timeout = std::chrono::seconds(3)) const {
        return WaitFor(timeout, [&] { return CountOf(Commands(), command) >= count; });
    }
    // Waits until the simulator's output contains `text`.
    bool WaitForOutput(const std::string& text,
                       std::chrono::milliseconds timeout = std::chrono::seconds(3)) const {
        return WaitFor(timeout, [&] { return Output().find(text) != std::string::npos; });
    }

    template <typename Condition>
    static bool WaitFor(std::chrono::milliseconds timeout, Condition condition) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!condition()) {
            if (std::chrono::steady_clock::now() >= deadline) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }

private:
    void End(int signal) {
        if (pid_ > 0) {
            ::kill(pid_, signal);
            const bool ended = WaitFor(std::chrono::seconds(5), [this] { return !Running(); });
            if (!ended && pid_ > 0) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, nullptr, 0);
            }
            pid_ = -1;
        }
        CloseControl();
    }

    void CloseControl() {
        if (control_ >= 0) {
            ::close(control_);
            control_ = -1;
        }
    }

    std::vector<std::string> LogPart(bool events) const {
        std::vector<std::string> part;
        for (const auto& line : LogLines()) {
            const auto space = line.find(' ');
            if (space == std::string::npos) {
                continue;
            }
            const std::string rest = line.substr(space + 1);
            const bool isEvent = rest.rfind("# ", 0) == 0;
            if (isEvent == events) {
                part.push_back(events ? rest.substr(2) : rest);
            }
        }
        return part;
    }

    static std::size_t CountOf(const std::vector<std::string>& lines, const std::string& text) {
        std::size_t count = 0;
        for (const auto& line : lines) {
            count += line == text ? 1 : 0;
        }
        return count;
    }

    static std::string ReadFile(const std::string& path) {
        std::ifstream file(path, std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }

    // Whole lines only: a line still being written has no newline yet.
    static std::vector<std::string> Lines(const std::string& text) {
        std::vector<std::string> lines;
        std::size_t start = 0;
        std::size_t end;
        while ((end = text.find('\n', start)) != std::string::npos) {
            lines.push_back(text.substr(start, end - start));
            start = end + 1;
        }
        return lines;
    }

    Options options_;
    std::string directory_;
    std::string linkPath_;
    std::string logPath_;
    std::string outputPath_;
    pid_t pid_ = -1;
    int control_ = -1;
    std::size_t acknowledged_ = 0;
};

}  // namespace zelto::test
