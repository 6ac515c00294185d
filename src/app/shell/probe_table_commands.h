#pragma once

#include "station/shell_services.h"
#include "station/station_state.h"

namespace qrv::shell {

// Network › Network name: a new name of at most 25 characters; an empty
// answer keeps the old one and writes nothing.
void EditNetworkName(StationState& state, const ShellServices& services);

// Probes › Change probes activity › Set all probes Active / Off / Inhibit:
// normal mode only; after the user confirms, the sensor file is rewritten,
// the change logged and the network installed again.
void SetAllProbesStatus(StationState& state, const ShellServices& services, int status);

// Probes › Change probes activity › Delete All probes: refused in demo mode;
// stops the network and empties the table and the sensor file.
void DeleteAllProbes(StationState& state, const ShellServices& services);

// File › Save Measurements › Save As: moves today's result file elsewhere
// with monitoring paused, then installs the network again.
void SaveFileAs(StationState& state, const ShellServices& services);
// File › Save Measurements › Save Copy As: copies today's result file.
void SaveCopyAs(StationState& state, const ShellServices& services);

}  // namespace qrv::shell
