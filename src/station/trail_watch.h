#pragma once

#include "station/shell_services.h"
#include "station/station_state.h"

namespace qrv::shell {

// Checks the whole audit trail at the first tick of the station and of each
// day after: the program log records the trail's line count and last hash,
// which anchors the trail outside its file; a broken trail, or seals the
// station cannot check, gives an alarm-file line and a log error.
void CheckAuditTrailDaily(StationState& state, const ShellServices& services);

}  // namespace qrv::shell
