#include "simulator_loop.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <iostream>

#include "line_settings.h"

namespace upssim {
namespace {

// The one piece of state a signal handler may touch.
volatile std::sig_atomic_t terminationSignal = 0;

void OnTerminationSignal(int signal) {
    terminationSignal = signal;
}

// Bytes the line may owe the host before the simulator stops adding more (a flood nobody reads).
constexpr std::size_t kLargestBacklog = 32 * 1024 * 1024;
// How long the line must be idle before a leftover exclusive-use mark is cleared.
constexpr auto kIdleBeforeRelease = std::chrono::seconds(2);
constexpr auto kHousekeepingPeriod = std::chrono::seconds(1);

timespec Until(Clock::time_point now, Clock::time_point deadline) {
    const auto wait = std::max(deadline - now, Clock::duration::zero());
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(wait);
    const auto nanos = std::chrono::duration_cast<std::chrono::nanoseconds>(wait - seconds);
    return timespec{static_cast<time_t>(seconds.count()), static_cast<long>(nanos.count())};
}

}  // namespace

sigset_t PrepareTerminationSignals() {
    sigset_t blocked;
    sigemptyset(&blocked);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        sigaddset(&blocked, signal);
        struct sigaction action {};
        action.sa_handler = OnTerminationSignal;
        sigemptyset(&action.sa_mask);
        ::sigaction(signal, &action, nullptr);
    }
    ::signal(SIGPIPE, SIG_IGN);
    sigset_t waitMask;
    ::sigprocmask(SIG_BLOCK, &blocked, &waitMask);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        sigdelset(&waitMask, signal);
    }
    return waitMask;
}

SimulatorLoop::SimulatorLoop(const DeviceSettings& settings, const PtyLink& link, Scenario scenario,
                             CommandLog& log, int controlFd)
    : link_(link),
      log_(log),
      device_(settings,
              UpsDevice::Listener{[this](std::string_view command) { log_.Command(command); },
                                  [this](const std::string& event) {
                                      log_.Event(event);
                                      Say(event);
                                  }},
              Clock::now()),
      scenario_(std::move(scenario)),
      start_(Clock::now()),
      nextHousekeeping_(start_ + kHousekeepingPeriod),
      lineQuietUntil_(start_),
      lineSeen_(Describe(LineSettings{2400, 2400, 8, 'N', 1})) {
    controls_.push_back(LineSource{STDIN_FILENO, {}});
    if (controlFd >= 0) {
        controls_.push_back(LineSource{controlFd, {}});
    }
}

void SimulatorLoop::Say(const std::string& line) {
    std::cout << line << std::endl;
}

void SimulatorLoop::Run(const sigset_t& waitMask) {
    while (!quit_ && terminationSignal == 0) {
        Clock::time_point now = Clock::now();
        RunDueSteps(now);
        const std::string due = device_.TakeDueOutput(now);
        if (outgoing_.size() + due.size() <= kLargestBacklog) {
            outgoing_ += due;
        }
        WriteLine();
        if (now >= nextHousekeeping_) {
            if (now - device_.LastCommandTime() >= kIdleBeforeRelease) {
                link_.ReleaseExclusiveUse();
            }
            nextHousekeeping_ = now + kHousekeepingPeriod;
        }
        if (quit_) {
            break;
        }

        std::vector<pollfd> fds;
        const bool watchLine = now >= lineQuietUntil_;
        if (watchLine) {
            const short events = outgoing_.empty() ? POLLIN : POLLIN | POLLOUT;
            fds.push_back(pollfd{link_.MasterFd(), events, 0});
        }
        for (const auto& source : controls_) {
            if (source.fd >= 0) {
                fds.push_back(pollfd{source.fd, POLLIN, 0});
            }
        }
        const timespec timeout = Until(now, NextDeadline(now));
        const int ready = ::ppoll(fds.data(), fds.size(), &timeout, &waitMask);
        if (ready < 0) {
            continue;  // a termination signal is checked at the top
        }
        now = Clock::now();
        std::size_t index = 0;
        if (watchLine) {
            const pollfd& line = fds[index++];
            if (line.revents & POLLIN) {
                ReadLine(now);
            } else if (line.revents & (POLLHUP | POLLERR)) {
                lineQuietUntil_ = now + std::chrono::milliseconds(100);
            }
        }
        for (auto& source : controls_) {
            if (source.fd < 0) {
                continue;
            }
            if (fds[index++].revents & (POLLIN | POLLHUP | POLLERR)) {
                ReadControl(source, now);
            }
        }
    }
}

Clock::time_point SimulatorLoop::NextDeadline(Clock::time_point now) const {
    Clock::time_point deadline = nextHousekeeping_;
    if (const auto wakeup = device_.NextWakeup()) {
        deadline = std::min(deadline, *wakeup);
    }
    if (nextStep_ < scenario_.steps.size()) {
        deadline = std::min(deadline, start_ + scenario_.steps[nextStep_].at);
    }
    if (now < lineQuietUntil_) {
        deadline = std::min(deadline, lineQuietUntil_);
    }
    return deadline;
}

void SimulatorLoop::RunDueSteps(Clock::time_point now) {
    while (!quit_ && nextStep_ < scenario_.steps.size() &&
           start_ + scenario_.steps[nextStep_].at <= now) {
        const ScenarioStep& step = scenario_.steps[nextStep_++];
        Say("scenario: " + step.line);
        quit_ = ApplyControl(step.command, device_, now);
    }
}

void SimulatorLoop::HandleControlLine(const std::string& line, Clock::time_point now) {
    const ParsedControl parsed = ParseControl(line);
    if (!parsed.command) {
        Say("error: " + line + ": " + parsed.error);
        return;
    }
    quit_ = ApplyControl(*parsed.command, device_, now) || quit_;
    Say("ok: " + line);
}

void SimulatorLoop::ReadControl(LineSource& source, Clock::time_point now) {
    char buffer[4096];
    const ssize_t count = ::read(source.fd, buffer, sizeof buffer);
    if (count == 0 || (count < 0 && errno != EAGAIN && errno != EINTR)) {
        // stdin closed (running in the background, or the test harness let go): the FIFO and
        // the scenario still work, so the simulator carries on.
        source.fd = -1;
        return;
    }
    if (count < 0) {
        return;
    }
    source.partial.append(buffer, static_cast<std::size_t>(count));
    std::size_t end;
    while ((end = source.partial.find('\n')) != std::string::npos) {
        std::string line = source.partial.substr(0, end);
        source.partial.erase(0, end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        HandleControlLine(line, now);
    }
}

void SimulatorLoop::ReadLine(Clock::time_point now) {
    char buffer[4096];
    const ssize_t count = ::read(link_.MasterFd(), buffer, sizeof buffer);
    if (count > 0) {
        if (!LineSuitsDevice()) {
            return;
        }
        device_.Receive(std::string_view(buffer, static_cast<std::size_t>(count)), now);
    } else if (count == 0 || (errno != EAGAIN && errno != EINTR)) {
        lineQuietUntil_ = now + std::chrono::milliseconds(100);
    }
}

bool SimulatorLoop::LineSuitsDevice() {
    // The master end reports the settings the host made on the slave end.
    termios settings{};
    if (::tcgetattr(link_.MasterFd(), &settings) != 0) {
        return true;  // nothing to go by; better a device that answers than one that never does
    }
    const LineSettings line = LineSettingsOf(settings);
    const bool suits = SuitsDevice(line);
    const std::string seen = Describe(line);
    if (seen != lineSeen_) {
        lineSeen_ = seen;
        const std::string event = "line " + seen + (suits ? ": answering" : ": not answering");
        log_.Event(event);
        Say(event);
    }
    return suits;
}

void SimulatorLoop::WriteLine() {
    while (!outgoing_.empty()) {
        const ssize_t written = ::write(link_.MasterFd(), outgoing_.data(), outgoing_.size());
        if (written <= 0) {
            return;  // the host is not reading; the rest goes when the line drains
        }
        outgoing_.erase(0, static_cast<std::size_t>(written));
    }
}

}  // namespace upssim
