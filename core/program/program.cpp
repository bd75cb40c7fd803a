#include "core/program/program.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

#include "core/base/conversion.h"
#include "core/base/product.h"
#include "core/link/port_access.h"
#include "core/link/port_list.h"
#include "core/monitor/pictures.h"
#include "core/monitor/policy.h"
#include "core/monitor/shutdown_policy.h"
#include "core/monitor/tray_tip.h"
#include "core/monitor/tray_tip_limit.h"
#include "core/program/network_ups.h"

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

// How long a computer that asked to go down keeps away from the followed UPS's server when it
// does not go down after all (a refused request is known at once and reconnects at the next tick).
constexpr std::int64_t kStayAwaySeconds = 120;

}  // namespace

Program::Program(const Platform& platform)
    : platform_(platform),
      power_(platform.power, follower_, platform.clock),
      presentation_(platform.display, platform.view),
      settings_(platform.store),
      monitor_(MonitorParts{state_, platform.port, presentation_, platform.countdown, power_,
                            platform.errors, settings_, &nut_,
                            platform.events ? &platform.events->Monitor() : nullptr}) {
    // Before anything is shown: every text the front ends and the core make is in this language.
    state_.language = ReadLanguage(settings_);
    if (platform.nutCheck && platform.clock) {
        check_.emplace(*platform.nutCheck, state_.language);
    }
}

std::optional<std::string> Program::LogoutFirst::Request(PowerAction action) {
    if (!follower_) {
        return power_.Request(action);
    }
    follower_->Logout();
    auto refusal = power_.Request(action);
    if (!refusal) {
        // Asked to go down: the primary is waiting for this computer to leave. Only a wake from
        // sleep, or a request that never came true, brings it back.
        follower_->StayAwayUntil(clock_->Now().unixSeconds + kStayAwaySeconds);
    }
    return refusal;
}

Program::~Program() {
    if (follower_) {
        follower_->Logout();
    }
}

void Program::FormCreate() {
    // Each step stands on its own: a bad value is reported, but the tray icon, the port and
    // polling still come up, so the machine stays protected.
    auto& errors = platform_.errors;
    if (platform_.events) {
        // First, so that what start-up reports follows the start in the journal.
        platform_.events->Started();
        platform_.events->SetLanguage(state_.language);
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
        presentation_.SetPolicyIndex(policy.list, state_.*policy.index);
    }
    RunGuarded(errors, [&] { state_.CountdownSeconds = ReadCountdownSeconds(settings_); });
    presentation_.AddTrayIcon();
    ReadComPorts();
    OpenStoredPort();

    presentation_.SetCaption(kModelCaption);
    Timer1Timer();
    // Found out now rather than during an outage.
    CheckMethod();
}

void Program::OpenStoredPort() {
    auto& errors = platform_.errors;
    // A bad index is reported and acts as the default; its text stays until a port is picked.
    std::int32_t stored = 0;
    const bool readable = RunGuarded(errors, [&] { stored = settings_.ReadInt(kPortKey, "0"); });
    const auto path = settings_.FindSetting(kSection, kPortPathKey);
    if (path && !path->empty()) {
        // The remembered device wherever it sorts now; one that is absent stays chosen and
        // listed, and is opened when it appears, so nothing is written over the choice.
        const bool present = Listed(ports_, *path);
        const int index = static_cast<int>(PlacePort(
            ports_, RememberedPort(*path, settings_.FindSetting(kSection, kPortsKey).has_value())));
        if (!present) {
            PublishPortList();
        }
        presentation_.SetPortIndex(index);
        OpenPort(index);
        if (readable && present) {
            // The position follows the device.
            RunGuarded(errors,
                       [&] { settings_.WriteSetting(kSection, kPortKey, std::to_string(index)); });
        }
        return;
    }
    // No port was ever chosen by hand: the stored place of the list stands for the device there.
    // A start that found no port at all once stored -1; that was never the user's choice of
    // none, so it means the first port too. A place no device fills yet is looked for until
    // one does, and nothing is written over it meanwhile.
    stored = std::max<std::int32_t>(stored, 0);
    const int index = Selectable(stored, ports_.size());
    waitingIndex_ = index < 0 ? stored : -1;
    // Remembered by its path once it opens, so that a device sorting before it later cannot take
    // its place; not while the file holds a text the user must mend first.
    rememberWhenOpen_ = readable;
    presentation_.SetPortIndex(index);
    OpenPort(index);
}

void Program::PolicyChanged(PolicyList list, int index) {
    const auto& policy = PolicySettingFor(list);
    const bool triggerCouldAct = TriggerCanAct(state_.TriggerIndex);
    // The choice applies from the next tick even when storing it is refused.
    state_.*policy.index = index;
    // The list shows it already; kept, so that what is shown stays the truth.
    presentation_.SetPolicyIndex(list, index);
    const std::string value = std::to_string(index);
    if (platform_.events) {
        platform_.events->SettingChanged(policy.key, value);
    }
    RunGuarded(platform_.errors, [&] { settings_.WriteSetting(kSection, policy.key, value); });
    if (list == PolicyList::Method || (list == PolicyList::Trigger && !triggerCouldAct)) {
        CheckMethod();
    }
}

void Program::ComboBox4Change(int index) {
    if (check_ && index == static_cast<int>(ports_.size())) {
        AskForNetworkUps();
        return;
    }
    // The port is opened whether or not the choice can be stored: protection must not hang on a
    // writable settings file.
    waitingIndex_ = -1;
    rememberWhenOpen_ = false;
    presentation_.SetPortIndex(index);
    OpenPort(index);
    if (platform_.events) {
        platform_.events->SettingChanged(kPortPathKey, keeper_.Path());
    }
    StoreChoice(index);
}

void Program::StoreChoice(int index) {
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
    Follow(path);
    if (state_.FollowingNetworkUps) {
        ShowPortMissing(false);
    } else if (listed) {
        NoteOpen(port.ComOpen(path, kBaud));
    } else {
        ShowPortMissing(true);
    }
    port.ComPurgeInput();
}

void Program::NoteOpen(OpenResult result) {
    ShowPortMissing(result == OpenResult::Missing);
    if (result == OpenResult::Opened && rememberWhenOpen_) {
        rememberWhenOpen_ = false;
        StoreChoice(state_.PortIndex);
    }
    if (keeper_.TellUser(result)) {
        const std::string& path = keeper_.Path();
        platform_.errors.Report(
            PortAccessDeniedText(state_.language, path, platform_.port.AccessGroup(path)));
    }
}

void Program::ShowPortMissing(bool missing) {
    if (missing == portMissing_) {
        return;
    }
    portMissing_ = missing;
    const int index = state_.PortIndex;
    const bool listed = index >= 0 && static_cast<std::size_t>(index) < ports_.size();
    const std::string name = listed ? ports_[static_cast<std::size_t>(index)].name : "";
    if (platform_.events) {
        platform_.events->PortMissing(missing, name);
    }
    // The tray is all a hidden program shows: it must not go on looking as it did while the UPS
    // answered. The first record from the port found again sets it anew.
    state_.TrayTip =
        missing ? LimitTrayTip(PortMissingTipText(state_.language, name)) : std::string();
    presentation_.ShowTray(kPictureProgram, state_.TrayTip);
}

void Program::CheckMethod() {
    // Nothing will ever be asked of the system under "никогда"; it is asked once the trigger
    // is set to something that acts.
    if (!TriggerCanAct(state_.TriggerIndex)) {
        return;
    }
    if (const auto action = MethodAction(state_.MethodIndex)) {
        if (const auto warning =
                CapabilityWarning(state_.language, *action, platform_.power.Capability(*action))) {
            platform_.errors.Report(*warning);
        }
    }
}

void Program::Timer1Timer() {
    if (check_) {
        if (auto verdict = check_->Advance(Now())) {
            presentation_.ShowNetworkUpsCheck(*verdict);
        }
    }
    if (follower_) {
        FollowTick();
        return;
    }
    if (keeper_.Due(platform_.port)) {
        LookForPort();
    }
    monitor_.Timer1Timer();
}

void Program::LookForPort() {
    if (!keeper_.Path().empty()) {
        NoteOpen(keeper_.Reopen(platform_.port, kBaud));
        return;
    }
    // Known only by its place: the list is read again until a device fills that place.
    if (ReadPortListAgain()) {
        OpenPort(state_.PortIndex);
    }
}

std::vector<PortEntry> Program::CurrentPorts() {
    const auto portsSetting = settings_.FindSetting(kSection, kPortsKey);
    // The system's table is not asked when the settings name the ports: each look at it walks
    // the system's device tree.
    return BuildPortList(
        portsSetting ? std::vector<PortEntry>() : platform_.portTable.SystemPorts(), portsSetting);
}

void Program::ReadComPorts() {
    ports_ = CurrentPorts();
    PublishPortList();
}

void Program::RefreshPortList() {
    // Nothing is stored: looking at the list is not a choice, and the port is remembered by its
    // path, which the new positions do not change.
    if (ReadPortListAgain()) {
        OpenPort(state_.PortIndex);
    }
}

bool Program::ReadPortListAgain() {
    const int selected = state_.PortIndex;
    std::optional<PortEntry> chosen;
    if (selected >= 0 && static_cast<std::size_t>(selected) < ports_.size()) {
        chosen = ports_[static_cast<std::size_t>(selected)];
    }
    auto ports = CurrentPorts();
    int index = -1;
    if (chosen) {
        index = static_cast<int>(PlacePort(ports, *chosen));
    } else if (waitingIndex_ >= 0) {
        index = Selectable(waitingIndex_, ports.size());
    }
    const bool filled = !chosen && index >= 0;
    if (filled) {
        waitingIndex_ = -1;
    }
    // Read every few seconds while the port is missing: a list the user may have open is only
    // touched when it changed.
    if (ports != ports_) {
        ports_ = std::move(ports);
        PublishPortList();
        presentation_.SetPortIndex(index);
    } else if (index != selected) {
        presentation_.SetPortIndex(index);
    }
    state_.PortIndex = index;
    return filled;
}

void Program::PublishPortList() {
    std::vector<std::string> names;
    names.reserve(ports_.size() + 1);
    for (const auto& entry : ports_) {
        names.push_back(entry.name);
    }
    if (check_) {
        names.emplace_back(Text(state_.language, TextId::NetworkUpsEntry));
    }
    presentation_.SetPortList(names);
}

std::int64_t Program::Now() const {
    return platform_.clock->Now().unixSeconds;
}

void Program::Follow(const std::string& path) {
    const auto address = ParseNutUpsAddress(path);
    const bool follow = address && platform_.nutClient && platform_.clock;
    if (follower_) {
        follower_->Logout();
        follower_.reset();
    }
    if (follow) {
        follower_.emplace(*platform_.nutClient, *address,
                          settings_.FindSetting(kSection, kNutUserKey).value_or(""),
                          settings_.FindSetting(kSection, kNutPasswordKey).value_or(""));
    }
    state_.FollowingNetworkUps = follow;
    presentation_.SetUpsOffEnabled(!follow);
}

void Program::FollowTick() {
    const std::int64_t now = Now();
    follower_->Tick(now);
    if (const auto refusal = follower_->TakeNewRefusal()) {
        // The server's words only: the password is never part of a message.
        platform_.errors.Report(Text(state_.language, TextId::NutLoginRefused, {*refusal}));
    }
    const NutFollowCritical& status = follower_->Status();
    monitor_.FollowTick(FollowedUpsOf(follower_->Session().Values(), follower_->Answering(now),
                                      status.Critical(now), status.ForcedShutdown()));
}

void Program::FollowedUpsAnswered() {
    if (!follower_) {
        return;
    }
    const std::int64_t now = Now();
    follower_->ReadAnswers(now);
    const NutFollowCritical& status = follower_->Status();
    if (status.Critical(now)) {
        monitor_.FollowCritical(status.ForcedShutdown());
    }
}

void Program::AskForNetworkUps() {
    // The list shows the port in use again; the dialog decides whether that changes.
    platform_.view.SetPortIndex(state_.PortIndex);
    NetworkUpsForm form;
    if (const auto address = follower_ ? ParseNutUpsAddress(keeper_.Path()) : std::nullopt) {
        form.ups = address->ups;
        form.host = address->host.find(':') == std::string::npos ? address->host
                                                                 : "[" + address->host + "]";
        if (address->port != kNutDefaultPort) {
            form.host += ":" + std::to_string(address->port);
        }
    }
    form.user = settings_.FindSetting(kSection, kNutUserKey).value_or("");
    presentation_.OpenNetworkUpsDialog(form);
}

void Program::CheckNetworkUps(const NetworkUpsForm& form) {
    if (!check_) {
        return;
    }
    const auto path = NetworkUpsPath(form);
    if (!path) {
        presentation_.ShowNetworkUpsCheck(
            std::string(Text(state_.language, TextId::NetworkUpsAsk)));
        return;
    }
    presentation_.ShowNetworkUpsCheck(std::string(Text(state_.language, TextId::Checking)));
    check_->Start(*ParseNutUpsAddress(*path), Now());
}

bool Program::NetworkUpsChosen(const NetworkUpsForm& form) {
    const auto path = NetworkUpsPath(form);
    if (!path || !check_) {
        presentation_.ShowNetworkUpsCheck(
            std::string(Text(state_.language, TextId::NetworkUpsAsk)));
        return false;
    }
    RunGuarded(platform_.errors, [&] {
        settings_.WriteSetting(kSection, kNutUserKey, form.user);
        if (!form.password.empty() || form.user.empty()) {
            settings_.WriteSetting(kSection, kNutPasswordKey, form.password);
        }
    });
    const int index = static_cast<int>(PlacePort(
        ports_, RememberedPort(*path, settings_.FindSetting(kSection, kPortsKey).has_value())));
    PublishPortList();
    ComboBox4Change(index);
    return true;
}

}  // namespace zelto
