#include "control_command.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace upssim {
namespace {

using Kind = ControlCommand::Kind;

constexpr double kLargestCount = 10'000'000;

std::vector<std::string> Words(std::string_view line) {
    std::vector<std::string> words;
    std::string word;
    for (const char c : line) {
        if (std::isspace(static_cast<unsigned char>(c))) {
            if (!word.empty()) {
                words.push_back(std::move(word));
                word.clear();
            }
        } else {
            word += c;
        }
    }
    if (!word.empty()) {
        words.push_back(std::move(word));
    }
    return words;
}

std::string Lower(std::string word) {
    for (char& c : word) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return word;
}

std::optional<double> Number(const std::string& word, double low, double high) {
    if (word.empty()) {
        return std::nullopt;
    }
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(word.c_str(), &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(value) || value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

std::optional<bool> OnOff(const std::string& word) {
    const std::string lower = Lower(word);
    if (lower == "on") {
        return true;
    }
    if (lower == "off") {
        return false;
    }
    return std::nullopt;
}

ParsedControl Refuse(std::string why) {
    return ParsedControl{std::nullopt, std::move(why)};
}

ParsedControl Accept(ControlCommand command) {
    return ParsedControl{std::move(command), {}};
}

ParsedControl WithNumber(Kind kind, const std::vector<std::string>& words, double low, double high,
                         const char* what) {
    if (words.size() != 2) {
        return Refuse(std::string("expected: ") + words[0] + " " + what);
    }
    const auto value = Number(words[1], low, high);
    if (!value) {
        return Refuse("not a valid " + std::string(what) + ": " + words[1]);
    }
    ControlCommand command;
    command.kind = kind;
    command.number = *value;
    return Accept(command);
}

// "mains on|off|VOLTS" and "output on|off|VOLTS".
ParsedControl SwitchOrVolts(Kind switchKind, Kind voltsKind,
                            const std::vector<std::string>& words) {
    if (words.size() == 2) {
        if (const auto on = OnOff(words[1])) {
            ControlCommand command;
            command.kind = switchKind;
            command.on = *on;
            return Accept(command);
        }
    }
    return WithNumber(voltsKind, words, 0.0, 999.9, "on|off|volts");
}

ParsedControl FaultCommand(const std::string& name, const std::vector<std::string>& words) {
    ControlCommand command;
    command.kind = Kind::Fault;
    Fault& fault = command.fault;
    const bool hasArgument = words.size() == 2;
    if (words.size() > 2) {
        return Refuse("too many words for " + name);
    }
    if (name == "short" || name == "long" || name == "double") {
        if (hasArgument) {
            return Refuse(name + " takes no argument");
        }
        fault.kind = name == "short"  ? FaultKind::Short
                     : name == "long" ? FaultKind::Long
                                      : FaultKind::Double;
    } else if (name == "split") {
        fault.kind = FaultKind::Split;
        if (hasArgument) {
            const auto seconds = Number(words[1], 0.001, 3600.0);
            if (!seconds) {
                return Refuse("not a valid pause in seconds: " + words[1]);
            }
            fault.pauseSeconds = *seconds;
        }
    } else if (name == "badload" || name == "badbattery") {
        fault.kind = name == "badload" ? FaultKind::BadLoad : FaultKind::BadBattery;
        fault.text = hasArgument ? words[1] : (name == "badload" ? "0x?" : "1.36");
    } else {
        fault.kind = name == "garbage" ? FaultKind::Garbage : FaultKind::Flood;
        const auto count = hasArgument ? Number(words[1], 1.0, kLargestCount) : std::nullopt;
        if (!count || std::floor(*count) != *count) {
            return Refuse(name + " needs a byte count from 1 to 10000000");
        }
        fault.count = static_cast<std::size_t>(*count);
    }
    return Accept(command);
}

}  // namespace

ParsedControl ParseControl(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) {
        line.remove_suffix(1);
    }
    const std::vector<std::string> words = Words(line);
    if (words.empty() || words[0][0] == '#') {
        return Accept(ControlCommand{});
    }
    const std::string name = Lower(words[0]);
    if (name == "mains") {
        return SwitchOrVolts(Kind::Mains, Kind::MainsVolts, words);
    }
    if (name == "output") {
        return SwitchOrVolts(Kind::Output, Kind::OutputVolts, words);
    }
    if (name == "battery") {
        return WithNumber(Kind::Battery, words, 0.0, 99.9, "volts");
    }
    if (name == "load") {
        auto parsed = WithNumber(Kind::Load, words, 0.0, 999.0, "load in percent");
        if (parsed.command && std::floor(parsed.command->number) != parsed.command->number) {
            return Refuse("load is a whole number: " + words[1]);
        }
        return parsed;
    }
    if (name == "temp") {
        return WithNumber(Kind::Temperature, words, 0.0, 99.9, "degrees");
    }
    if (name == "freq") {
        return WithNumber(Kind::Frequency, words, 0.0, 99.9, "hertz");
    }
    if (name == "drain") {
        return WithNumber(Kind::Drain, words, 0.0, 1000.0, "volts per minute");
    }
    if (name == "flags") {
        // Taken verbatim, so that blanks and letters can stand in a flag position.
        const auto start = line.find_first_not_of(" \t");
        const std::string_view rest = line.substr(start + words[0].size());
        const std::string_view flags = rest.empty() ? rest : rest.substr(1);
        if (flags.size() != 8) {
            return Refuse("flags needs exactly eight characters after one blank");
        }
        ControlCommand command;
        command.kind = Kind::Flags;
        command.text = std::string(flags);
        return Accept(command);
    }
    if (name == "silent") {
        const auto on = words.size() == 2 ? OnOff(words[1]) : std::nullopt;
        if (!on) {
            return Refuse("expected: silent on|off");
        }
        ControlCommand command;
        command.kind = Kind::Silent;
        command.on = *on;
        return Accept(command);
    }
    if (name == "split" || name == "short" || name == "long" || name == "double" ||
        name == "badload" || name == "badbattery" || name == "garbage" || name == "flood") {
        return FaultCommand(name, words);
    }
    if (name == "clear" || name == "quit") {
        if (words.size() != 1) {
            return Refuse(name + " takes no argument");
        }
        ControlCommand command;
        command.kind = name == "clear" ? Kind::Clear : Kind::Quit;
        return Accept(command);
    }
    return Refuse("unknown control command: " + words[0]);
}

bool ApplyControl(const ControlCommand& command, UpsDevice& device, Clock::time_point now) {
    device.Advance(now);
    switch (command.kind) {
        case Kind::Nothing:
            break;
        case Kind::Mains:
            device.SetMains(command.on, now);
            break;
        case Kind::MainsVolts:
            device.SetMainsVolts(command.number);
            break;
        case Kind::Output:
            device.SetOutput(command.on, now);
            break;
        case Kind::OutputVolts:
            device.SetOutputVolts(command.number);
            break;
        case Kind::Battery:
            device.SetBattery(command.number, now);
            break;
        case Kind::Load:
            device.SetLoad(static_cast<int>(command.number));
            break;
        case Kind::Temperature:
            device.SetTemperature(command.number);
            break;
        case Kind::Frequency:
            device.SetFrequency(command.number);
            break;
        case Kind::Flags:
            device.SetFlags(command.text);
            break;
        case Kind::Drain:
            device.SetDrain(command.number, now);
            break;
        case Kind::Silent:
            device.SetSilent(command.on);
            break;
        case Kind::Fault:
            device.QueueFault(command.fault);
            break;
        case Kind::Clear:
            device.ClearFaults();
            break;
        case Kind::Quit:
            return true;
    }
    return false;
}

}  // namespace upssim
