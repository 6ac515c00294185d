#pragma once

#include <map>

#include "sensors/sensor_record.h"

namespace qrv {

// A probe's alarm on its minutes out of range in the last 24 hours, while it
// stands: the side (kTimeAlarmHigh or kTimeAlarmLow) and the minutes on that
// side at the latest alarm walk. Subscribers of the feed that lost events
// take these again, as they take the probe table.
struct StandingTimeAlarm {
    int side = kAlarmNone;
    int minutes = 0;

    friend bool operator==(const StandingTimeAlarm&, const StandingTimeAlarm&) = default;
};

using StandingTimeAlarms = std::map<RomCode, StandingTimeAlarm>;

}  // namespace qrv
