#pragma once

#include <string>

#include <vector>

#include "records/calibration.h"
#include "records/time_alarm.h"
#include "reports/page_model.h"
#include "reports/printouts/print_context.h"
#include "sensors/sensor_table.h"
#include "settings/system_settings.h"

namespace qrv {

inline constexpr int kProbeRowsPerPage = 50;
// The name column: the longest name a probe may have and a blank.
inline constexpr std::size_t kPrintedNameWidth = kMaxNameLength + 1;

// The system settings page: release, connection, language, sample rate,
// graph style and the number of probes.
ReportPage MakeSystemSettingsPage(const SystemSettings& settings, int probeCount,
                                  const PrintContext& context);

// The first row of a probe on the settings printout, in fixed columns: the
// whole name 1-28, status 29-34, alarm high 35-41, low 42-48, delay 49-58,
// pre-alarm high 59-65, low 66-72, delay 73-80. A switch shows its alarm
// level in 35-48 and nothing in 59-80.
std::string ProbeSettingsRow(const SensorRecord& record, int taal);

// A probe's rows: the first row, then its SMS and relay choices with the
// alarm on time out of range (timeAlarm: none set; timeAlarmsKnown false:
// their file could not be read, so the row says so instead of "no alarm"),
// then its alarm times by weekday, days in a row with the same window
// together. No row is longer than the first.
std::vector<std::string> ProbeSettingsRows(const SensorRecord& record,
                                           const records::TimeAlarm* timeAlarm, int taal,
                                           bool timeAlarmsKnown = true);

// The calibrations, printed after the probe pages: for each calibrated
// probe a row with the whole name 1-28, correction 29-50, certificate 51-68,
// next due 69-78 and whether it is due from 80, and below it the date,
// instrument and who from column 29.
std::vector<std::string> CalibrationRows(const SensorTable& table,
                                         const records::CalibrationBook& book,
                                         const LocalDateTime& today, int taal);
int CalibrationPageCount(std::size_t rows);
// Page `page` of the whole printout (the probe pages come first) with the
// calibration rows of its `sheet`, 1-based.
ReportPage MakeCalibrationPage(const std::vector<std::string>& rows, int sheet, int page,
                               const PrintContext& context);

// The probe settings printout as a whole: the probes' rows, at most 50 rows
// a page and a probe never split over two, then the calibration pages.
// timeAlarms is none when their file could not be read.
class ProbeSettingsPrintout {
  public:
    ProbeSettingsPrintout(const SensorTable& table, const records::CalibrationBook& calibrations,
                          const records::TimeAlarmBook* timeAlarms, const LocalDateTime& today,
                          int taal);
    int PageCount() const {
        return static_cast<int>(probePages_.size()) + CalibrationPageCount(calibrationRows_.size());
    }
    // Page `index`, 0-based.
    ReportPage Page(int index, const PrintContext& context) const;

  private:
    std::vector<std::vector<std::string>> probePages_;
    std::vector<std::string> calibrationRows_;
};

}  // namespace qrv
