// ups-sim: a UPS on a pseudo-terminal, for trying and testing the monitor without hardware.
// Run "ups-sim --help" for the whole story.

#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "command_log.h"
#include "control_fifo.h"
#include "pty_link.h"
#include "scenario.h"
#include "sim_options.h"
#include "simulator_loop.h"

int main(int argc, char** argv) {
    using namespace upssim;
    const ParsedOptions parsed = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.options) {
        std::cerr << "ups-sim: " << parsed.error << "\n(ups-sim --help tells more)\n";
        return 2;
    }
    const SimOptions& options = *parsed.options;
    if (options.help) {
        std::cout << HelpText();
        return 0;
    }

    Scenario scenario;
    if (!options.scenarioPath.empty()) {
        scenario = LoadScenario(options.scenarioPath);
        if (!scenario.error.empty()) {
            std::cerr << "ups-sim: " << scenario.error << "\n";
            return 2;
        }
    }
    CommandLog log;
    std::unique_ptr<CommandLog> fileLog;
    if (!options.logPath.empty()) {
        fileLog = std::make_unique<CommandLog>(options.logPath);
        if (!fileLog->IsOpen()) {
            std::cerr << "ups-sim: cannot write the log " << options.logPath << "\n";
            return 1;
        }
    }
    std::string error;
    std::unique_ptr<ControlFifo> fifo;
    if (!options.controlPath.empty()) {
        fifo = ControlFifo::Open(options.controlPath, error);
        if (!fifo) {
            std::cerr << "ups-sim: " << error << "\n";
            return 1;
        }
    }
    const sigset_t waitMask = PrepareTerminationSignals();
    const std::unique_ptr<PtyLink> link = PtyLink::Create(options.linkPath, error);
    if (!link) {
        std::cerr << "ups-sim: " << error << "\n";
        return 1;
    }
    std::cout << "ups-sim: " << options.linkPath << " -> " << link->SlaveName() << std::endl;

    SimulatorLoop loop(options.device, *link, std::move(scenario), fileLog ? *fileLog : log,
                       fifo ? fifo->ReadFd() : -1);
    loop.Run(waitMask);
    std::cout << "ups-sim: stopped" << std::endl;
    return 0;
}
