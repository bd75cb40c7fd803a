#include "core/program/program.h"

#include <algorithm>
#include <optional>
#include <string>

#include "core/base/product.h"
#include "core/link/port_list.h"
#include "core/monitor/policy.h"
#include "core/monitor/shutdown_policy.h"

namespace zelto {
namespace {

constexpr int kBaud = 2400;

// An index outside a list leaves it with no selection.
int Selectable(std::int32_t index, std::size_t count) {
    return (index >= 0 && static_cast<std::size_t>(index) < count) ? index : -1;
}

}  // namespace

Program::Program(const Platform& platform)
    : platform_(platform),
      settings_(platform.store),
      monitor_(MonitorParts{state_, platform.port, platform.display, platform.countdown,
                            platform.power, platform.errors, settings_, &nut_}) {}

void Program::FormCreate() {
    // Each step stands on its own: a bad value is reported and leaves its list empty, but the
    // tray icon, the port and polling still come up, so the machine stays protected.
    auto& errors = platform_.errors;
    for (const auto& policy : kPolicySettings) {
        state_.*policy.index = -1;
        RunGuarded(errors, [&] {
            state_.*policy.index = Selectable(
                settings_.ReadInt(policy.key, std::to_string(policy.defaultIndex)), policy.count);
        });
        platform_.view.SetPolicyIndex(policy.list, state_.*policy.index);
    }
    RunGuarded(errors, [&] { state_.CountdownSeconds = ReadCountdownSeconds(settings_); });
    platform_.view.AddTrayIcon();
    RunGuarded(errors, [&] { ReadComPorts(); });

    int port = -1;
    RunGuarded(errors,
               [&] { port = Selectable(settings_.ReadInt("COMPort", "0"), ports_.size()); });
    platform_.view.SetPortIndex(port);
    RunGuarded(errors, [&] { SelectPort(port); });

    platform_.view.SetCaption(kModelCaption);
    Timer1Timer();
}

void Program::PolicyChanged(PolicyList list, int index) {
    const auto& policy = PolicySettingFor(list);
    // The choice applies from the next tick even when storing it is refused.
    state_.*policy.index = index;
    RunGuarded(platform_.errors,
               [&] { settings_.WriteSetting(kSection, policy.key, std::to_string(index)); });
}

void Program::ComboBox4Change(int index) {
    RunGuarded(platform_.errors, [&] { SelectPort(index); });
}

void Program::SelectPort(int index) {
    state_.PortIndex = index;
    // The index is stored before the port is touched: when storing is refused the port that
    // was open stays open and in use.
    settings_.WriteSetting(kSection, "COMPort", std::to_string(index));
    auto& port = platform_.port;
    port.ComClose();
    const bool listed = index >= 0 && static_cast<std::size_t>(index) < ports_.size();
    const std::string path = listed ? ports_[static_cast<std::size_t>(index)].path : "";
    if (listed) {
        port.ComOpen(path, kBaud);
    }
    port.ComPurgeInput();
    keeper_.Choose(path);
}

void Program::Timer1Timer() {
    keeper_.Tick(platform_.port, kBaud);
    monitor_.Timer1Timer();
}

void Program::ReadComPorts() {
    ports_.clear();
    try {
        ports_ = BuildPortList(platform_.portTable.SystemPorts(),
                               settings_.FindSetting(kSection, "Ports"));
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
                                   settings_.FindSetting(kSection, "Ports"));
        int index = -1;
        if (chosen) {
            auto found = std::find(ports.begin(), ports.end(), *chosen);
            if (found == ports.end()) {
                found = ports.insert(std::upper_bound(ports.begin(), ports.end(), *chosen,
                                                      [](const PortEntry& a, const PortEntry& b) {
                                                          return PortNameLess(a.name, b.name);
                                                      }),
                                     *chosen);
            }
            index = static_cast<int>(found - ports.begin());
        }
        ports_ = std::move(ports);
        PublishPortList();
        platform_.view.SetPortIndex(index);
        if (index != selected) {
            // The stored index is a position in the list: keep it pointing at the same port.
            state_.PortIndex = index;
            settings_.WriteSetting(kSection, "COMPort", std::to_string(index));
        }
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
