#pragma once

#include <string>

#include "reports/page_model.h"
#include "reports/printouts/print_context.h"
#include "sensors/sensor_table.h"
#include "settings/system_settings.h"

namespace qrv {

inline constexpr int kProbeRowsPerPage = 50;

// The system settings page: release, connection, language, sample rate,
// graph style and the number of probes.
ReportPage MakeSystemSettingsPage(const SystemSettings& settings, int probeCount,
                                  const PrintContext& context);

// One row of the probe settings printout, in fixed columns: name 1-25,
// status 26-31, alarm high 32-38, low 39-45, delay 46-55, pre-alarm high
// 56-62, low 63-69, delay 70-77. A switch shows its alarm level in 32-45
// and nothing in 56-77.
std::string ProbeSettingsRow(const SensorRecord& record, int taal);

int ProbeSettingsPageCount(int probes);

// Page `page` (1-based) of the probe settings printout: records
// 50 (page - 1) .. 50 page - 1 of the table.
ReportPage MakeProbeSettingsPage(const SensorTable& table, int page, const PrintContext& context);

}  // namespace qrv
