#include "core/program/nut_startup.h"

#include "core/base/joined.h"

namespace zelto {

NutSettingsRead ReadNutServerSettings(Settings& settings) {
    return ReadNutSettings(
        [&settings](std::string_view key) { return settings.FindSetting(kNutSection, key); });
}

std::string ProgramVersion() {
    return ZELTO_VERSION;
}

std::string NutEndpointText(std::string_view address, int port) {
    const bool v6 = address.find(':') != std::string_view::npos;
    std::string text = v6 ? "[" + std::string(address) + "]" : std::string(address);
    return text + ":" + std::to_string(port);
}

std::string NutStartupReport(Language language, const std::vector<std::string>& settingProblems,
                             const std::vector<std::string>& listenFailures) {
    std::string text;
    if (!settingProblems.empty()) {
        text = Text(language, TextId::NutBadSettings,
                    {kNutSection, kSettingsFileName, Joined(settingProblems, ", ")});
    }
    if (!listenFailures.empty()) {
        if (!text.empty()) {
            text += ".\n";
        }
        text += Text(language, TextId::NutCannotListen, {Joined(listenFailures, ", ")});
    }
    return text;
}

}  // namespace zelto
