#pragma once

#include "station/shell_services.h"
#include "station/station_state.h"

namespace qrv::shell {

// Probes › Identify (new) probes: with the network cables off, the user
// connects one probe after the other and names each; a new installation
// follows. Normal mode with an installed network only.
void Identify(StationState& state, const ShellServices& services);

// The loop of connecting, finding and naming one probe at a time; returns 0.
int IdentifySensor(StationState& state, const ShellServices& services);

}  // namespace qrv::shell
