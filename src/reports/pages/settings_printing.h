#pragma once

#include <filesystem>

#include "records/calibration.h"
#include "reports/pages/panel_context.h"
#include "sensors/sensor_table.h"

namespace qrv::pages {

// File > Print > System: the settings as the settings file holds them, on
// one page, with the printer dialog.
void PrintSystemSettings(const PanelContext& context, const std::filesystem::path& iniFileName,
                         const SensorTable& table);

// File > Print > Probes: the probe table, 50 probes a page, then the
// calibrations, one print job. Nothing to print prints nothing.
void PrintProbeSettings(const PanelContext& context, const SensorTable& table,
                        const records::CalibrationBook& calibrations);

}  // namespace qrv::pages
