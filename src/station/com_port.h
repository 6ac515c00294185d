#pragma once

#include "station/shell_services.h"
#include "station/station_state.h"

namespace qrv::shell {

// Network › Connection › COM n: moves the station to another serial port once
// the port opens and an interface unit answers on it. With a network
// installed the user confirms first (No is the default); monitoring stops,
// the settings file gets the new port, and normal mode installs the network
// on it.
void SetTheNewCommPort(StationState& state, const ShellServices& services, int port);

}  // namespace qrv::shell
