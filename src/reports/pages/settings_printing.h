#pragma once

#include <filesystem>

#include "reports/pages/panel_context.h"
#include "sensors/sensor_table.h"

namespace qrv::pages {

// File > Print > System: the settings as the settings file holds them, on
// one page, with the printer dialog.
void PrintSystemSettings(const PanelContext& context, const std::filesystem::path& iniFileName,
                         const SensorTable& table);

// File > Print > Probes: the probe table, 50 probes a page, one print job.
// An empty table prints nothing.
void PrintProbeSettings(const PanelContext& context, const SensorTable& table);

}  // namespace qrv::pages
