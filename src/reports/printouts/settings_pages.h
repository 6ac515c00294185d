#pragma once

#include <string>

#include <vector>

#include "records/calibration.h"
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

// The calibrations, printed after the probe pages: for each calibrated
// probe a row with name 1-25, correction 26-47, certificate 48-65, next due
// 66-75 and whether it is due from 77, and below it the date, instrument
// and who from column 26.
std::vector<std::string> CalibrationRows(const SensorTable& table,
                                         const records::CalibrationBook& book,
                                         const LocalDateTime& today, int taal);
int CalibrationPageCount(std::size_t rows);
// Page `page` of the whole printout (the probe pages come first) with the
// calibration rows of its `sheet`, 1-based.
ReportPage MakeCalibrationPage(const std::vector<std::string>& rows, int sheet, int page,
                               const PrintContext& context);

// The probe settings printout as a whole: the probe pages as they always
// were, then the calibration pages.
class ProbeSettingsPrintout {
  public:
    ProbeSettingsPrintout(const SensorTable& table, const records::CalibrationBook& calibrations,
                          const LocalDateTime& today, int taal);
    int PageCount() const { return probePages_ + CalibrationPageCount(calibrationRows_.size()); }
    // Page `index`, 0-based.
    ReportPage Page(int index, const PrintContext& context) const;

  private:
    const SensorTable& table_;
    std::vector<std::string> calibrationRows_;
    int probePages_;
};

}  // namespace qrv
