#pragma once

#include <filesystem>

#include "records/calibration.h"
#include "records/time_alarm.h"
#include "reports/pages/panel_context.h"
#include "sensors/sensor_table.h"

namespace qrv::pages {

// File > Print > System: the settings as the settings file holds them, on
// one page, with the printer dialog.
void PrintSystemSettings(const PanelContext& context, const std::filesystem::path& iniFileName,
                         const SensorTable& table);

// File > Print > Probes: every probe's settings with its alarm times, SMS,
// relay and time-alarm choices, then the calibrations, one print job.
// Nothing to print prints nothing.
void PrintProbeSettings(const PanelContext& context, const SensorTable& table,
                        const records::CalibrationBook& calibrations,
                        const records::TimeAlarmBook& timeAlarms);

}  // namespace qrv::pages
