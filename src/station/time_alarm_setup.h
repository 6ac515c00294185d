#pragma once

#include "acquisition/time_alarms.h"
#include "runtime/clock.h"
#include "runtime/event_log.h"
#include "station/station_state.h"

namespace qrv::shell {

// Reads the station's thresholds for the alarm on the minutes out of range
// in the last 24 hours, and gives every probe that has no account yet the
// minutes that today's and yesterday's result files hold, so a restart does
// not forget them. A file that cannot be read is logged and leaves the alarm
// off rather than stopping the station. Called while acquisition is paused.
void PrepareTimeAlarms(StationState& state, acquisition::TimeOutOfRangeAlarms& alarms,
                       const Clock& clock, EventLog& log);

// Rereads the thresholds once their file has changed, so that a threshold
// set with quorvanel-report applies within a second while the network runs.
// The minutes already counted stay; a new threshold starts from the stored
// values. A file that has become unreadable is logged once and the
// thresholds in use are kept. True when new thresholds were taken.
bool ReloadTimeAlarmsIfChanged(StationState& state, acquisition::TimeOutOfRangeAlarms& alarms,
                               const Clock& clock, EventLog& log);

}  // namespace qrv::shell
