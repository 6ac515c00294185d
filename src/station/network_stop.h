#pragma once

#include "acquisition/alarm_texts.h"
#include "station/shell_services.h"
#include "station/station_state.h"

namespace qrv::shell {

// Stops the network completely: acquisition paused, the day's last block
// stored, alarms cleared, the 1-Wire session ended and the interface unit's
// power removed. The network timer itself stays, paused. Each standing alarm
// is written off in the alarm file for the reason given.
void StopHetNetwerk(
    StationState& state, const ShellServices& services,
    acquisition::AlarmClearReason reason = acquisition::AlarmClearReason::kNetworkStopped);

}  // namespace qrv::shell
