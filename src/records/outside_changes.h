#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "records/audit_line.h"
#include "records/calibration.h"
#include "records/setting_changes.h"
#include "records/time_alarm.h"
#include "sensors/sensor_table.h"

namespace qrv::records {

// The probes' calibrations that differ between two books, one change per
// probe, named as the station's own calibration lines name them.
std::vector<SettingChange> CalibrationChanges(const CalibrationBook& before,
                                              const CalibrationBook& after,
                                              const SensorTable& table);

// The probes' time-alarm thresholds that differ between two books, one
// change per side, named as the station's own time-alarm lines name them.
std::vector<SettingChange> TimeAlarmBookChanges(const TimeAlarmBook& before,
                                                const TimeAlarmBook& after,
                                                const SensorTable& table);

// Who last wrote a file, as far as the system can tell: "QRVCalibration.json,
// owner anna, modified 2026-03-09 14:05:07".
std::string FileOrigin(const std::filesystem::path& file);

// Whether the trail's last line about the change's subject records this
// very change: a command that changed the file wrote it already.
bool AlreadyRecorded(const std::vector<ParsedAuditLine>& trail, const SettingChange& change);

}  // namespace qrv::records
