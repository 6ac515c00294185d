#pragma once

#include <string>
#include <vector>

#include "records/calibration.h"
#include "sensors/sensor_table.h"

namespace qrv::records {

// Temperature and humidity probes; a switch's contact is not calibrated.
bool IsCalibratable(const SensorRecord& probe);

// "calibration of probe 0000000A1B2C Fridge 1", what the audit trail names.
std::string CalibrationSubject(const SensorRecord& probe);
// One line of a calibration: correction, date, instrument, certificate,
// next due and who.
std::string CalibrationSummary(const Calibration& calibration);

// The listing of quorvanel-report calibration: one line per calibrated probe.
std::vector<std::string> CalibrationListing(const CalibrationBook& book, const SensorTable& table,
                                            const LocalDateTime& today);

}  // namespace qrv::records
