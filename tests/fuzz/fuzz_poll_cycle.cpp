// The poll cycle end to end through the power state and the shutdown procedure, fed arbitrary
// bytes in arbitrary chunks across ticks, with countdowns that the ticks count down and buttons
// pressed while they show.
//
// Input: seven bytes of set-up (the three policy lists, the countdown length in the settings
// file, the button the user presses, whether the system refuses power requests), then pieces. A
// piece's first byte says what happens and how many bytes follow (0-63):
//   00LLLLLL  the L bytes arrive at the port
//   01LLLLLL  the L bytes arrive, then a tick runs
//   10LLLLLL  a tick with nothing new; L odd: the beeper picture is clicked instead; L = 63:
//             a receive queue too large to be a record arrives first
//   11LLLLLL  the L bytes become the UPS's answer to the next status query
// When a countdown opens, it takes one byte N; the button is pressed after the next N % 8 pieces,
// unless the countdown ended before.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "core/base/program_state.h"
#include "core/base/settings.h"
#include "core/link/protocol.h"
#include "core/monitor/countdown.h"
#include "core/monitor/monitor.h"
#include "core/monitor/shutdown_policy.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/support/core_fakes.h"

namespace {

using zelto::fakes::FakeComPort;

using zelto::fuzz::Check;
using zelto::fuzz::Fail;
using zelto::fuzz::Input;

// The fake port, watched: what each tick read, and whether status queries stay one per tick.
class WatchedPort : public FakeComPort {
public:
    std::optional<std::size_t> lastRead;  // bytes the latest tick read, if it read
    int ticksSinceQuery = 1;
    std::uint64_t queries = 0;

    std::string ComRead(std::size_t count) override {
        std::string chunk = FakeComPort::ComRead(count);
        lastRead = chunk.size();
        return chunk;
    }
    std::size_t ComWrite(std::string_view bytes) override {
        if (bytes == "Q1\r") {
            Check(ticksSinceQuery > 0, "two status queries without a tick between them");
            ticksSinceQuery = 0;
            ++queries;
        }
        return FakeComPort::ComWrite(bytes);
    }
};

bool Printable(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) {
            return false;
        }
    }
    return true;
}

bool Digits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

bool EndsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

bool StartsWith(std::string_view text, std::string_view start) {
    return text.substr(0, start.size()) == start;
}

class Harness {
public:
    Harness(const std::uint8_t* data, std::size_t size) : in_(data, size) {
        state_.TriggerIndex = in_.Byte() % 8 - 1;
        state_.MethodIndex = in_.Byte() % 4 - 1;
        state_.UpsOffIndex = in_.Byte() % 12 - 1;
        SetUpCountdownLength();
        const std::uint8_t outcome = in_.Byte();
        answer_ = outcome % 3 + 1;
        if (outcome & 0x80) {
            power_.refusal = "refused";
        }
        power_.onRequest = [this](zelto::PowerAction) { CheckPowerRequest(); };
    }

    void Run() {
        while (!in_.Empty()) {
            Piece();
            if (countdown_.showing && piecesToAnswer_ >= 0 && piecesToAnswer_-- == 0) {
                monitor_.CountdownAnswered(answer_);
                CheckState();
            }
        }
        Check(port_.queries <= ticks_, "more status queries than ticks");
    }

private:
    void SetUpCountdownLength() {
        const std::uint8_t mode = in_.Byte() % 6;
        const std::uint8_t low = in_.Byte();
        const std::uint8_t high = in_.Byte();
        const auto number = static_cast<std::uint16_t>(low | high << 8);
        const char* const fixed[] = {"-1", "65536", "1x", ""};
        switch (mode) {
            case 0:
                expectedSeconds_ = 10;
                return;
            case 1:
                expectedSeconds_ = number;
                WriteOffAfter(std::to_string(number));
                return;
            default:
                expectedSeconds_ = 10;
                WriteOffAfter(fixed[mode - 2]);
                return;
        }
    }
    void WriteOffAfter(const std::string& value) {
        store_.files[settings_.FilePath()] = "[UPS]\r\nOFFAfter=" + value + "\r\n";
    }

    void Piece() {
        const std::uint8_t head = in_.Byte();
        const std::size_t length = head & 0x3F;
        switch (head >> 6) {
            case 0:
                port_.Arrive(in_.Take(length));
                break;
            case 1:
                port_.Arrive(in_.Take(length));
                Tick();
                break;
            case 2:
                if (length == 63) {
                    port_.Arrive(std::string(65536, '('));
                }
                if (length % 2 == 1) {
                    monitor_.Image5Click();
                } else {
                    Tick();
                }
                break;
            default:
                port_.answers.push_back(in_.Take(length));
                break;
        }
    }

    void Tick() {
        ++ticks_;
        ++port_.ticksSinceQuery;
        port_.lastRead.reset();
        // A tick that a bad record ended keeps that record in the buffer; the next tick's bytes
        // then add to it and can never make a record on their own.
        bufferEmptyAtStart_ = state_.RxBuffer.empty();
        const std::size_t runsBefore = countdown_.runs.size();
        monitor_.Timer1Timer();
        Check(state_.LinkOk == (bufferEmptyAtStart_ && port_.lastRead == 47),
              "LinkOk does not match a 47-byte read");
        if (countdown_.runs.size() != runsBefore) {
            Check(countdown_.runs.size() == runsBefore + 1, "two countdowns in one tick");
            Check(countdown_.runs.back() == expectedSeconds_,
                  "countdown did not start from OFFAfter");
            Check(runs_ == 0 || rearmedSinceRun_, "a second countdown in one outage");
            ++runs_;
            rearmedSinceRun_ = false;
            piecesToAnswer_ = in_.Byte() % 8;
        }
        CheckState();
    }

    void CheckPowerRequest() {
        Check(zelto::MethodAction(state_.MethodIndex).has_value(),
              "power request without a method");
        if (state_.UpsOffIndex >= 1 && state_.UpsOffIndex <= 10) {
            Check(!port_.writes.empty() &&
                      port_.writes.back() == zelto::SwitchOffCommand(state_.UpsOffIndex),
                  "power request not right after the UPS switch-off command");
        }
    }

    void CheckState() {
        rearmedSinceRun_ = rearmedSinceRun_ || state_.ShutdownArmed;
        Check(countdown_.showing == (state_.ShutdownStep == zelto::ShutdownStage::Counting),
              "the dialog and the countdown disagree");
        Check(!countdown_.showing || !state_.ShutdownArmed,
              "shutdown still armed while the countdown shows");
        Check(state_.BatteryCharge <= 100, "charge above 100");
        Check(state_.OnBatterySeconds < 60, "on-battery seconds reached 60");
        Check(state_.TrayTip.size() <= 63, "tray tip longer than 63 bytes");
        Check(power_.actions.size() <= countdown_.runs.size(), "power request without countdown");
        if (display_.trayTip) {
            Check(*display_.trayTip == state_.TrayTip, "tray shows another tip than the state");
            Check(StartsWith(*display_.trayTip, "Питание от "), "tray tip malformed");
        }
        for (const auto* picture :
             {&display_.trayPicture, &display_.batteryPicture, &display_.beeperPicture}) {
            Check(!*picture || (**picture >= 0 && **picture < 12), "picture index outside lists");
        }
        if (display_.clock) {
            const std::string& clock = *display_.clock;
            const auto colon = clock.find(':');
            Check(colon != std::string::npos && colon >= 2 && Digits(clock.substr(0, colon)) &&
                      clock.size() == colon + 3 && Digits(clock.substr(colon + 1)) &&
                      clock[colon + 1] < '6',
                  "clock text malformed");
        }
        if (display_.charge) {
            const std::string& charge = *display_.charge;
            Check(EndsWith(charge, " %") && charge.size() <= 5 &&
                      Digits(charge.substr(0, charge.size() - 2)) && std::stoi(charge) <= 100,
                  "charge text malformed");
        }
        if (display_.loadBar) {
            Check(*display_.loadBar >= 0 && *display_.loadBar <= 100, "load bar outside 0-100");
        }
        for (const auto& [which, text] : display_.readings) {
            const std::string_view unit = which == zelto::Reading::Load          ? " %"
                                          : which == zelto::Reading::Frequency   ? " Hz"
                                          : which == zelto::Reading::Temperature ? " °C"
                                                                                 : " V";
            Check(EndsWith(text, unit) && Printable(text.substr(0, text.size() - unit.size())),
                  "reading not printable text with its unit");
        }
        for (const auto& text : errors_.texts) {
            Check((StartsWith(text, "'") && EndsWith(text, "' is not a valid integer value") &&
                   Printable(text)) ||
                      text == "Range check error" || StartsWith(text, "Не удалось "),
                  "an error text the program never shows");
        }
    }

    Input in_;
    zelto::ProgramState state_;
    WatchedPort port_;
    zelto::fakes::FakeDisplay display_;
    zelto::fakes::FakeCountdown countdown_;
    zelto::fakes::FakePowerRequests power_;
    zelto::fakes::FakeErrorReporter errors_;
    zelto::fakes::FakeSettingsStore store_;
    zelto::Settings settings_{store_};
    zelto::Monitor monitor_{
        zelto::MonitorParts{state_, port_, display_, countdown_, power_, errors_, settings_}};

    std::uint16_t expectedSeconds_ = 10;
    std::uint64_t ticks_ = 0;
    bool bufferEmptyAtStart_ = true;
    int runs_ = 0;
    bool rearmedSinceRun_ = false;
    int answer_ = zelto::CountdownGo;
    // Pieces until the button is pressed on the countdown showing; -1 when pressed already.
    int piecesToAnswer_ = -1;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Harness(data, size).Run();
    return 0;
}
