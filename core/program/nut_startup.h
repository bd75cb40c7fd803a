#pragma once
// Start-up's part in the NUT server: its settings, from section "NUT" of the settings file, and
// what the user is told when they or the listening go wrong. The front end runs the server.

#include <string>
#include <string_view>
#include <vector>

#include "core/base/settings.h"
#include "core/nut/nut_settings.h"

namespace zelto {

NutSettingsRead ReadNutServerSettings(Settings& settings);

// The program's version, as VER, server.version and driver.version tell it.
std::string ProgramVersion();

// "127.0.0.1:3493", "[::1]:3493": an address the server listens on, as the user writes it.
std::string NutEndpointText(std::string_view address, int port);

// The one text start-up reports for the NUT server, empty when all is well. `settingProblems`
// as ReadNutSettings gives them; `listenFailures` one "endpoint (reason)" per address the server
// could not listen on.
std::string NutStartupReport(const std::vector<std::string>& settingProblems,
                             const std::vector<std::string>& listenFailures);

}  // namespace zelto
