#pragma once

#include <string>
#include <vector>

#include "records/time_alarm.h"
#include "sensors/sensor_table.h"
#include "settings/system_settings.h"

namespace qrv::records {

// One setting of one probe as it was and as it is.
struct SettingChange {
    std::string what;  // "probe 0000000A1B2C Fridge 1: AlarmHigh"
    std::string oldValue;
    std::string newValue;
};

// Every setting that differs between two states of the probe table, probe by
// probe (matched by ROM, since an index changes with a delete), with the
// probes that came and went. Readings and alarm counters are no settings.
std::vector<SettingChange> ProbeSettingChanges(const SensorTable& before, const SensorTable& after);

// The probe's time-alarm thresholds that differ, one side a change; an
// unset side shows empty.
std::vector<SettingChange> TimeAlarmChanges(const SensorRecord& probe,
                                            const std::optional<TimeAlarm>& before,
                                            const std::optional<TimeAlarm>& after);

// Every station setting that differs, by its name in the settings file.
std::vector<SettingChange> StationSettingChanges(const SystemSettings& before,
                                                 const SystemSettings& after);

}  // namespace qrv::records
