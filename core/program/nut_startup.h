#pragma once
// Start-up's part in the NUT server: its settings, from section "NUT" of the settings file, and
// what the user is told when they or the listening go wrong. The front end runs the server.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/base/error_reporter.h"
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
std::string NutStartupReport(Language language, const std::vector<std::string>& settingProblems,
                             const std::vector<std::string>& listenFailures);

// Has `server` listen on every address of `settings`; the failures, as "endpoint (reason)". A
// system without IPv6 is no failure for ::1. `Server` offers ListenOn(address, port) -> 0 or the
// system's error, and the static ErrorText(error) and NoAddressFamily(error).
template <typename Server>
std::vector<std::string> ListenOnEach(Server& server, const NutSettings& settings) {
    std::vector<std::string> failures;
    for (const std::string& address : settings.listen) {
        const int error = server.ListenOn(address, settings.port);
        if (error != 0 && !(address == "::1" && Server::NoAddressFamily(error))) {
            failures.push_back(NutEndpointText(address, settings.port) + " (" +
                               Server::ErrorText(error) + ")");
        }
    }
    return failures;
}

// Start-up of a front end's server: the settings from section "NUT", and a server when they turn
// it on and it listens on at least one address; whatever went wrong is reported once. `Server`
// is built from the settings and the rest of `arguments`, offers what ListenOnEach needs, and
// Listening().
template <typename Server, typename... Arguments>
std::unique_ptr<Server> StartNutServer(Settings& settings, ErrorReporter& errors,
                                       Arguments&... arguments) {
    NutSettingsRead read;
    if (!RunGuarded(errors, [&] { read = ReadNutServerSettings(settings); })) {
        return nullptr;
    }
    std::unique_ptr<Server> server;
    std::vector<std::string> failures;
    if (read.settings.enabled) {
        server = std::make_unique<Server>(read.settings, arguments...);
        failures = ListenOnEach(*server, read.settings);
        if (!server->Listening()) {
            server.reset();
        }
    }
    const std::string report = NutStartupReport(ReadLanguage(settings), read.problems, failures);
    if (!report.empty()) {
        errors.Report(report);
    }
    return server;
}

}  // namespace zelto
