#pragma once

#include <optional>
#include <string>

#include "sensors/sensor_table.h"
#include "station/shell_services.h"
#include "station/station_state.h"

namespace qrv::shell {

inline constexpr int kExitDeclined = -1;

struct StartupOptions {
    // Network file for the simulated unit ("" for the sample network);
    // nullopt to use the configured port as it is mapped.
    std::optional<std::string> simulateNetwork;
    // Written as the sensor file when the station simulates and has none
    // yet, so that a first run finds a named network.
    const SensorTable* sampleProbes = nullptr;
    // Why the simulated unit's network file cannot be used (empty when it
    // can): told before the mode is chosen, since the unit will not answer.
    std::string simulatedNetworkProblem;
};

// Tests the interface unit on the configured port; when it does not answer
// the user chooses normal, off-line or demo mode. Sets and returns the mode.
int SeeIfNoQRVBoxAndUserWantsDemoModeOrOffLine(StationState& state, const ShellServices& services);

// Brings the station up to the point where the event loop runs. Returns the
// exit code when the start-up ends the program instead.
std::optional<int> RunStartup(StationState& state, const ShellServices& services,
                              const StartupOptions& options);

// After the event loop has ended: stops the work in order and returns the
// exit code. Questions from other threads are refused throughout, so the
// stop of the acquisition thread cannot meet one waiting for an answer.
int RunShutdown(StationState& state, const ShellServices& services);

}  // namespace qrv::shell
