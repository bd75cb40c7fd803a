#include "core/program/program.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

#include "core/base/conversion.h"
#include "core/base/product.h"
#include "core/link/port_access.h"
#include "core/link/port_list.h"
#include "core/monitor/policy.h"
#include "core/monitor/shutdown_policy.h"

namespace zelto {
namespace {

constexpr int kBaud = 2400;

// The port is stored twice: by its position in the sorted list, as it always was, and by its
// device path, which survives other devices coming and going.
constexpr std::string_view kPortKey = "COMPort";
constexpr std::string_view kPortPathKey = "COMPortPath";
constexpr std::string_view kPortsKey = "Ports";

// An index outside a list leaves it with no selection.
int Selectable(std::int32_t index, std::size_t count) {
    return (index >= 0 && static_cast<std::size_t>(index) < count) ? index : -1;
}

bool Listed(const std::vector<PortEntry>& ports, const std::string& path) {
    return std::any_of(ports.begin(), ports.end(),
                       [&](const PortEntry& entry) { return entry.path == path; });
}

}  // namespace

Program::Program(const Platform& platform)
    : platform_(platform),
      settings_(platform.store),
      monitor_(MonitorParts{state_, platform.port, platform.display, platform.countdown,
                            platform.power, platform.errors, settings_, &nut_,
                            platform.events ? &platform.events->Monitor() : nullptr}) {}

void Program::FormCreate() {
    // Each step stands on its own: a bad value is reported, but the tray icon, the port and
    // polling still come up, so the machine stays protected.
    auto& errors = platform_.errors;
    if (platform_.events) {
        // First, so that what start-up reports follows the start in the journal.
        platform_.events->Started();
        RunGuarded(errors,
                   [&] { platform_.events->SetNotifyEnabled(ReadNotifyEnabled(settings_)); });
    }
    for (const auto& policy : kPolicySettings) {
        // A value that does not convert or lies outside the list acts as the default and shows
        // as such, never as an empty list; the file keeps the text until the user picks.
        state_.*policy.index = policy.defaultIndex;
        RunGuarded(errors, [&] {
            state_.*policy.index = StrToIntInRange(
                settings_.ReadSetting(kSection, policy.key, std::to_string(policy.defaultIndex)), 0,
                policy.count - 1);
        });
        platform_.view.SetPolicyIndex(policy.list, state_.*policy.index);
    }
    RunGuarded(errors, [&] { state_.CountdownSeconds = ReadCountdownSeconds(settings_); });
    platform_.view.AddTrayIcon();
    RunGuarded(errors, [&] { ReadComPorts(); });
    OpenStoredPort();

    platform_.view.SetCaption(kModelCaption);
    Timer1Timer();
    // Found out now rather than during an outage.
    CheckMethod();
}

void Program::OpenStoredPort() {
    auto& errors = platform_.errors;
    // A bad index is reported and acts as the default; its text stays until a port is picked.
    std::int32_t stored = 0;
    bool writeBack = RunGuarded(errors, [&] { stored = settings_.ReadInt(kPortKey, "0"); });
    int index = -1;
    const auto path = settings_.FindSetting(kSection, kPortPathKey);
    if (path && !path->empty()) {
        // The remembered device wherever it sorts now; one that is absent stays chosen and
        // listed, and is opened when it appears, so nothing is written over the choice.
        const bool present = Listed(ports_, *path);
        index = static_cast<int>(PlacePort(
            ports_, RememberedPort(*path, settings_.FindSetting(kSection, kPortsKey).has_value())));
        if (!present) {
            PublishPortList();
            writeBack = false;
        }
    } else {
        index = Selectable(stored, ports_.size());
    }
    platform_.view.SetPortIndex(index);
    OpenPort(index);
    if (writeBack) {
        RunGuarded(errors,
                   [&] { settings_.WriteSetting(kSection, kPortKey, std::to_string(index)); });
    }
}

void Program::PolicyChanged(PolicyList list, int index) {
    const auto& policy = PolicySettingFor(list);
    // The choice applies from the next tick even when storing it is refused.
    state_.*policy.index = index;
    const std::string value = std::to_string(index);
    if (platform_.events) {
        platform_.events->SettingChanged(policy.key, value);
    }
    RunGuarded(platform_.errors, [&] { settings_.WriteSetting(kSection, policy.key, value); });
    if (list == PolicyList::Method) {
        CheckMethod();
    }
}

void Program::ComboBox4Change(int index) {
    // The port is opened whether or not the choice can be stored: protection must not hang on a
    // writable settings file.
    OpenPort(index);
    if (platform_.events) {
        platform_.events->SettingChanged(kPortPathKey, keeper_.Path());
    }
    RunGuarded(platform_.errors, [&] {
        // The path first: when only the first of the two writes goes through, the file still
        // names the new port, since the path is what start-up looks at first.
        settings_.WriteSetting(kSection, kPortPathKey, keeper_.Path());
        settings_.WriteSetting(kSection, kPortKey, std::to_string(index));
    });
}

void Program::OpenPort(int index) {
    state_.PortIndex = index;
    auto& port = platform_.port;
    port.ComClose();
    const bool listed = index >= 0 && static_cast<std::size_t>(index) < ports_.size();
    const std::string path = listed ? ports_[static_cast<std::size_t>(index)].path : "";
    keeper_.Choose(path);
    if (listed) {
        NoteOpen(port.ComOpen(path, kBaud));
    }
    port.ComPurgeInput();
}

void Program::NoteOpen(OpenResult result) {
    if (keeper_.TellUser(result)) {
        const std::string& path = keeper_.Path();
        platform_.errors.Report(PortAccessDeniedText(path, platform_.port.AccessGroup(path)));
    }
}

void Program::CheckMethod() {
    if (const auto action = MethodAction(state_.MethodIndex)) {
        if (const auto warning = CapabilityWarning(*action, platform_.power.Capability(*action))) {
            platform_.errors.Report(*warning);
        }
    }
}

void Program::Timer1Timer() {
    if (const auto reopened = keeper_.Tick(platform_.port, kBaud)) {
        NoteOpen(*reopened);
    }
    monitor_.Timer1Timer();
}

void Program::ReadComPorts() {
    ports_.clear();
    try {
        ports_ = BuildPortList(platform_.portTable.SystemPorts(),
                               settings_.FindSetting(kSection, kPortsKey));
    } catch (...) {
        // The list never keeps showing ports that are no longer known.
        PublishPortList();
        throw;
    }
    PublishPortList();
}

void Program::RefreshPortList() {
    RunGuarded(platform_.errors, [&] {
        const int selected = state_.PortIndex;
        std::optional<PortEntry> chosen;
        if (selected >= 0 && static_cast<std::size_t>(selected) < ports_.size()) {
            chosen = ports_[static_cast<std::size_t>(selected)];
        }
        auto ports = BuildPortList(platform_.portTable.SystemPorts(),
                                   settings_.FindSetting(kSection, kPortsKey));
        const int index = chosen ? static_cast<int>(PlacePort(ports, *chosen)) : -1;
        ports_ = std::move(ports);
        PublishPortList();
        platform_.view.SetPortIndex(index);
        // Nothing is stored: looking at the list is not a choice, and the port is remembered
        // by its path, which the new positions do not change.
        state_.PortIndex = index;
    });
}

void Program::PublishPortList() {
    std::vector<std::string> names;
    names.reserve(ports_.size());
    for (const auto& entry : ports_) {
        names.push_back(entry.name);
    }
    platform_.view.SetPortList(names);
}

}  // namespace zelto
