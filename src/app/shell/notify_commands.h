#pragma once

#include "station/shell_services.h"
#include "station/station_state.h"

namespace qrv::shell {

// Alarm > Test contacts: lists the call list of quorvanel.toml and sends a
// test message to the contact chosen by number, or to all (0). How each
// delivery went is written to the program log.
void TestContacts(StationState& state, const ShellServices& services);

}  // namespace qrv::shell
