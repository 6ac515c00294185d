#pragma once

#include "station/front_end.h"
#include "station/shell_services.h"
#include "station/station_state.h"

namespace qrv::shell {

// The station's commands that need its user-interface thread, the same for
// every front end: the window's menu and the service's signals call these
// (through StationCore, or with the services the core built) and none does
// their work itself. via names the front end in the lines they write.

// Scans the lines anew and resumes monitoring (see DoeInstallNetwork).
void InstallNetwork(StationState& state, const ShellServices& services, Via via);
// Ends monitoring: the last block stored, alarms written off, the unit's
// power removed. Nothing happens without an installed network.
void StopNetwork(StationState& state, const ShellServices& services, Via via);
// Opens the probe editor on the probe at index; what the user saves there is
// written to the probe file and announced (the audit trail follows). A
// probe deleted in normal mode reinstalls the network. Returns what the
// editor returned (kEditorSaved and the like).
int SaveProbeSettings(StationState& state, const ShellServices& services, int index, bool isNew,
                      bool allowNavigation, Via via);

}  // namespace qrv::shell
