#include "core/program/presentation.h"

#include <cstddef>

namespace zelto {
namespace {

// Keeps `value` and says whether it differs from what was kept.
template <class T>
bool Changed(T& kept, const T& value) {
    if (kept == value) {
        return false;
    }
    kept = value;
    return true;
}

}  // namespace

void Presentation::ShowLinkState(bool ok) {
    if (Changed(contents_.linkOk, std::optional<bool>(ok))) {
        display_.ShowLinkState(ok);
    }
}

void Presentation::ShowReading(Reading which, const std::string& text) {
    if (Changed(contents_.ReadingText(which), text)) {
        display_.ShowReading(which, text);
    }
}

void Presentation::ShowLoadBar(int percent) {
    if (Changed(contents_.loadPercent, percent)) {
        display_.ShowLoadBar(percent);
    }
}

void Presentation::ShowBeeperPicture(int picture) {
    if (Changed(contents_.beeperPicture, picture)) {
        display_.ShowBeeperPicture(picture);
    }
}

void Presentation::ShowBatteryPicture(int picture) {
    if (Changed(contents_.batteryPicture, picture)) {
        display_.ShowBatteryPicture(picture);
    }
}

void Presentation::ShowCharge(const std::string& text) {
    if (Changed(contents_.charge, text)) {
        display_.ShowCharge(text);
    }
}

void Presentation::ShowClockVisible(bool visible) {
    if (Changed(contents_.clockVisible, visible)) {
        display_.ShowClockVisible(visible);
    }
}

void Presentation::ShowClock(const std::string& text) {
    if (Changed(contents_.clock, text)) {
        display_.ShowClock(text);
    }
}

void Presentation::ShowTray(int picture, const std::string& tip) {
    const bool pictureChanged = Changed(trayPicture_, picture);
    if (Changed(trayTip_, tip) || pictureChanged) {
        display_.ShowTray(picture, tip);
    }
}

void Presentation::SetPolicyIndex(PolicyList list, int index) {
    if (Changed(contents_.PolicyIndexOf(list), index)) {
        view_.SetPolicyIndex(list, index);
    }
}

void Presentation::SetPortList(const std::vector<std::string>& names) {
    if (Changed(contents_.ports, names)) {
        // A new list has nothing selected.
        contents_.portIndex = -1;
        view_.SetPortList(names);
    }
}

void Presentation::SetPortIndex(int index) {
    if (Changed(contents_.portIndex, index)) {
        view_.SetPortIndex(index);
    }
}

void Presentation::SetUpsOffEnabled(bool enabled) {
    if (Changed(contents_.upsOffEnabled, enabled)) {
        view_.SetUpsOffEnabled(enabled);
    }
}

void Presentation::SetCaption(const std::string& caption) {
    if (Changed(contents_.caption, caption)) {
        view_.SetCaption(caption);
    }
}

void Presentation::AddTrayIcon() {
    trayPicture_ = kPictureProgram;
    trayTip_.clear();
    view_.AddTrayIcon();
}

}  // namespace zelto
