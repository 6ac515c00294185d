#pragma once

#include <filesystem>

#include "reports/printouts/period_pages.h"
#include "storage/month_sensor.h"
#include "storage/period_day_reader.h"
#include "storage/read_progress.h"

namespace qrv {

// Empties the period structure and finds the result files of the selected
// month, week or day.
void FindPeriodFiles(PeriodData& data, const PeriodSelection& selection,
                     const std::filesystem::path& dataDirectory, int taal,
                     ReportProgress& progress);

// Finds the period's files and reads them into its probe entries: hourly
// slots for a month or a day, quarter-hours for a week. The number of files
// read; 0 when the user left during the search.
// With onDay, every file's day is handed on as well, from the same single
// read and parse of the file.
int LoadPeriod(PeriodData& data, const PeriodSelection& selection,
               const std::filesystem::path& dataDirectory, int taal, ReportProgress& progress,
               const PeriodDayConsumer& onDay = {});

}  // namespace qrv
