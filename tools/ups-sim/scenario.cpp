#include "scenario.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace upssim {

Scenario ParseScenario(const std::string& text, const std::string& fileName) {
    Scenario scenario;
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
        ++number;
        const auto where = [&] { return fileName + ":" + std::to_string(number) + ": "; };
        const auto first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos || line[first] == '#') {
            continue;
        }
        const auto split = line.find_first_of(" \t", first);
        const std::string time = line.substr(first, split - first);
        char* end = nullptr;
        const double seconds = std::strtod(time.c_str(), &end);
        if (time.empty() || *end != '\0' || !std::isfinite(seconds) || seconds < 0) {
            scenario.error = where() + "expected seconds before the command: " + line;
            return scenario;
        }
        const std::string rest = split == std::string::npos ? "" : line.substr(split + 1);
        ParsedControl parsed = ParseControl(rest);
        if (!parsed.command) {
            scenario.error = where() + parsed.error;
            return scenario;
        }
        ScenarioStep step;
        step.at =
            std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
        step.line = rest;
        while (!step.line.empty() && (step.line.back() == '\r' || step.line.back() == ' ')) {
            step.line.pop_back();
        }
        step.command = std::move(*parsed.command);
        scenario.steps.push_back(std::move(step));
    }
    std::stable_sort(scenario.steps.begin(), scenario.steps.end(),
                     [](const ScenarioStep& a, const ScenarioStep& b) { return a.at < b.at; });
    return scenario;
}

Scenario LoadScenario(const std::string& path) {
    std::ifstream file(path);
    if (!file) {
        Scenario scenario;
        scenario.error = path + ": cannot read the scenario file";
        return scenario;
    }
    std::ostringstream text;
    text << file.rdbuf();
    return ParseScenario(text.str(), path);
}

}  // namespace upssim
