#include "sim_options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace upssim {
namespace {

std::optional<double> PositiveNumber(const std::string& text) {
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || errno != 0 || *end != '\0' || !std::isfinite(value) || value < 0) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::string HelpText() {
    return R"(Usage: ups-sim [OPTIONS] LINK

Simulates a UPS on a serial line. Opens a pseudo-terminal and puts a symbolic link to it at
LINK (a stale link there is replaced; the link is removed again on exit, SIGTERM or SIGINT).
Point the monitoring program at LINK. The pseudo-terminal stays usable while programs on the
other end open and close it again and again.

The UPS answers only when asked, like the real device. Commands from the line end with CR:
  Q1          status query: answered with the 47-byte status record after the time the
              record takes on the line at 2400 baud (about 196 ms)
  I           identification query: answered with the 39-byte record
              "#ZELTO           SIM        1.0       " CR (company 15, model 10 and
              version 10 characters, blank-padded) after the same delay as Q1
  F           rating query: answered with the 22-byte record "#230.0 003 012.0 50.0" CR
              (rated voltage, current, battery voltage, frequency)
  Q           beeper toggle: flips flag b0, no answer
  SnnR0000    switch the output off in nn minutes, no answer; reported as
              "switch-off in nn min"
  C           cancel a pending switch-off, no answer; reported as "switch-off
              cancelled" (b1 back to 0), or, when the output is already off, as
              "switch-off cancel too late: output already off" (it stays off), or as
              "no switch-off to cancel"
Anything else is logged and ignored, unanswered (other query commands of this protocol
family included), so a program probing for other dialects hears nothing it could mistake.

Like the device, the simulator understands the host only at 2400 baud, 8 data bits, no parity
and one stop bit. It looks at the settings the host gave the line whenever bytes arrive; at any
others it neither answers nor acts on them, and logs what it saw once per change, e.g.
"line 9600 8N1: not answering" (and "line 2400 8N1: answering" when it is right again). A
pseudo-terminal keeps 8 data bits and no parity whatever the host asks for, so only a wrong
speed or two stop bits show.

Status record (47 bytes):
  "(" mains " " input " " output " " load " " freq " " battery " " temp " " flags CR
  ddd.d ddd.d ddd.d ddd dd.d dd.d dd.d and eight flags b7..b0, "0" or "1".
  Defaults: 228.0 V mains, input and output, load 015 %, 50.0 Hz, battery 13.6 V,
  35.0 degrees, flags 00001001 (b3 stand-by type, b0 beeper on).
  Mains off: mains and input read 000.0, b7 becomes 1, output stays on from the battery and
  the battery falls by the drain rate each minute (down to the floor); mains back: b7 is 0
  and the battery returns to its charged voltage.
  Switch-off: b1 becomes 1; when the delay has run out the output is off and the record
  shows output 000.0 and load 000 (the UPS keeps answering). The output comes back when
  mains return after a failure, or with the control command "output on".

Options:
  --log FILE          append one line per command received to FILE, timestamped:
                      "2026-12-08T13:55:01.123 Q1"; events (beeper, switch-off, output and
                      mains changes) as "2026-12-08T13:55:01.123 # event"
  --control FIFO      read control commands from the named pipe FIFO as well as from
                      stdin (created when missing, and then removed on exit)
  --scenario FILE     run timed control commands from FILE: lines "SECONDS COMMAND" with the
                      seconds counted from the start, e.g. "20 mains off", "25 battery 11.2";
                      blank lines and lines starting with # are skipped
  --time-scale X      device minutes per real minute (default 1): with 60 a minute of the
                      switch-off delay and of battery drain passes in one second; scenario
                      seconds are always real seconds
  --drain RATE        battery fall on battery in volts per device minute (default 0.1)
  --battery-floor V   the battery stops falling at V volts (default 10.0)
  --answer-delay MS   delay before an answer starts (default 195.8, 47 bytes at 2400 baud)
  --seed N            seed for garbage bytes (default 1)
  --help              show this text

Control commands (stdin, --control FIFO, scenario files), one a line:
  mains on|off        mains present or failed
  mains VOLTS         mains and input voltage while mains are present
  output on|off       UPS output on or off now (off: output 000.0, load 000)
  output VOLTS        output voltage
  battery VOLTS       battery voltage now; with mains present also the charged voltage
  load N              load in percent, 0-999
  temp T              temperature in degrees, 0-99.9
  freq F              frequency in hertz, 0-99.9
  flags XXXXXXXX      the eight flag characters verbatim (any characters, blanks too);
                      mains changes, the beeper toggle and switch-off still set b7, b0, b1
  drain RATE          battery fall in volts per device minute
  silent on|off       stop or resume answering queries
  clear               drop queued faults and end silence
  quit                end the simulator
Faults, each spoiling the next status answer (queue several for several answers):
  split [SECONDS]     the answer in two halves, the second after SECONDS (default 1.5)
  short               46 bytes: the record without its CR
  long                48 bytes: the record followed by LF
  double              two records at once (94 bytes)
  badload [TEXT]      load field replaced by TEXT (default "0x?")
  badbattery [TEXT]   battery field replaced by TEXT (default "1.36")
  garbage N           N random bytes instead of the record
  flood N             N bytes at once instead of the record (records repeated, cut at N)

Every control line from stdin or the FIFO is acknowledged on stdout with "ok: LINE" or
"error: LINE: WHY"; scenario steps are reported as "scenario: LINE". Events go to stdout too.
)";
}

ParsedOptions ParseOptions(const std::vector<std::string>& arguments) {
    SimOptions options;
    ParsedOptions result;
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string name = arguments[i];
        std::optional<std::string> value;
        if (name.rfind("--", 0) == 0 && name.find('=') != std::string::npos) {
            value = name.substr(name.find('=') + 1);
            name = name.substr(0, name.find('='));
        }
        if (name == "--help" || name == "-h") {
            options.help = true;
            result.options = options;
            return result;
        }
        if (name.rfind("--", 0) != 0) {
            positional.push_back(name);
            continue;
        }
        if (!value) {
            if (i + 1 >= arguments.size()) {
                result.error = name + " needs a value";
                return result;
            }
            value = arguments[++i];
        }
        const auto number = [&]() -> std::optional<double> { return PositiveNumber(*value); };
        if (name == "--log") {
            options.logPath = *value;
        } else if (name == "--control") {
            options.controlPath = *value;
        } else if (name == "--scenario") {
            options.scenarioPath = *value;
        } else if (name == "--time-scale") {
            const auto scale = number();
            if (!scale || *scale <= 0) {
                result.error = "--time-scale needs a number above 0";
                return result;
            }
            options.device.timeScale = *scale;
        } else if (name == "--drain") {
            const auto rate = number();
            if (!rate) {
                result.error = "--drain needs volts per minute";
                return result;
            }
            options.device.drainVoltsPerMinute = *rate;
        } else if (name == "--battery-floor") {
            const auto floor = number();
            if (!floor) {
                result.error = "--battery-floor needs volts";
                return result;
            }
            options.device.batteryFloorVolts = *floor;
        } else if (name == "--answer-delay") {
            const auto delay = number();
            if (!delay) {
                result.error = "--answer-delay needs milliseconds";
                return result;
            }
            options.device.answerDelay = std::chrono::duration_cast<Clock::duration>(
                std::chrono::duration<double, std::milli>(*delay));
        } else if (name == "--seed") {
            const auto seed = number();
            if (!seed || *seed > 4294967295.0) {
                result.error = "--seed needs a whole number";
                return result;
            }
            options.device.seed = static_cast<unsigned>(*seed);
        } else {
            result.error = "unknown option " + name;
            return result;
        }
    }
    if (positional.size() != 1) {
        result.error = positional.empty() ? "the link path is missing" : "only one link path";
        return result;
    }
    options.linkPath = positional[0];
    result.options = options;
    return result;
}

}  // namespace upssim
