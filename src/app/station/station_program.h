#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace qrv::station {

// How quorvanel-station was asked to run.
struct StationOptions {
    std::filesystem::path station;
    // Network file for the simulated unit ("" for the sample network);
    // nullopt for the configured port as it is mapped.
    std::optional<std::string> simulateNetwork;
    // Hidden, for checks of the whole program on a simulated unit: the
    // station's clock runs this many times faster than real time.
    double clockFactor = 1.0;
    // Hidden, for the same checks: SIGUSR1 stalls the timer thread's ticks.
    bool stallOnSignal = false;
};

// The whole station without a display, from the start-up to the exit code.
int RunStation(const StationOptions& options);

}  // namespace qrv::station
