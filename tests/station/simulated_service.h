#pragma once

// quorvanel-station started for the first time on a simulated network of
// temperature probes, with the test's end of the service manager's socket.
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "service_process.h"
#include "support/temp_dir.h"

namespace qrv::testing {

// A network of temperature probes on three lines, for --simulate=FILE.
inline std::filesystem::path WriteNetwork(const std::filesystem::path& dir, int probes) {
    std::string lines[3];
    for (int i = 0; i < probes; ++i) {
        std::string& line = lines[i % 3];
        line += (line.empty() ? "" : ", ") + std::string(R"({"type": "DS18B20", "temperature": )") +
                std::to_string(2 + i % 5) + "}";
    }
    const std::filesystem::path file = dir / "network.json";
    std::ofstream(file) << R"({"lines": [[)" << lines[0] << "], [" << lines[1] << "], [" << lines[2]
                        << "]]}";
    return file;
}

inline bool HasText(const std::string& text, std::string_view part) {
    return text.find(part) != std::string::npos;
}

// A first start of quorvanel-station on a simulated network of that many
// temperature probes, telling the test's socket what a service manager hears.
struct SimulatedService {
    SimulatedService(const std::filesystem::path& dir, int probes,
                     std::vector<std::string> options = {})
        : station(dir / "station"),
          errors(dir / "stderr"),
          notify(dir / "notify"),
          process(Arguments(station, WriteNetwork(dir, probes), std::move(options)),
                  {"NOTIFY_SOCKET=" + notify.Path()}, errors) {}

    static std::vector<std::string> Arguments(const std::filesystem::path& station,
                                              const std::filesystem::path& network,
                                              std::vector<std::string> options) {
        std::vector<std::string> arguments{kStation, "--station", station.string(),
                                           "--simulate=" + network.string()};
        arguments.insert(arguments.end(), options.begin(), options.end());
        return arguments;
    }

    std::string Diagnostics() const { return ReadBytes(errors); }

    std::filesystem::path station;
    std::filesystem::path errors;
    NotifySocket notify;
    Process process;
    std::vector<std::string> seen;
};

}  // namespace qrv::testing
