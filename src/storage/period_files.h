#pragma once

#include <filesystem>

#include "runtime/clock.h"
#include "runtime/dialogs.h"
#include "storage/history_sensor.h"
#include "storage/month_sensor.h"
#include "storage/read_progress.h"
#include "storage/status_messages.h"

namespace qrv {

// The earliest year the day stepping goes back to.
inline constexpr int kFirstDataYear = 1999;

// Fill PrintFile for the period chosen on the report panel: element day of
// the month, weekday (1 Monday .. 7 Sunday) of the week, or the selected day.
// Every element without a file is "leeg". Each candidate is checked only
// while the user has not asked to leave.
void FindFilesOfThisMonth(PeriodData& data, const std::filesystem::path& dataDirectory, int year,
                          int month, int taal, ReportProgress& progress);
// weekYear is the ISO week-numbering year: week 1 may start in December.
void FindFilesOfThisWeek(PeriodData& data, const std::filesystem::path& dataDirectory, int weekYear,
                         int week, int taal, ReportProgress& progress);
void FindFileOfThisDay(PeriodData& data, const std::filesystem::path& dataDirectory, int year,
                       int month, int day, int taal, ReportProgress& progress);

// The first year from year up to the current one with at least one result
// file, or -1.
int FindNextAvailableYear(const std::filesystem::path& dataDirectory, int year, const Clock& clock);

// The file selection dialog on the data directory; 0 with HistoryFileName set,
// or -1 when cancelled.
int KiesEenHistoryFile(HistoryData& data, const std::filesystem::path& dataDirectory,
                       Dialogs& dialogs, int taal);

// Steps from HistoryDatum to the next (forward) or previous existing day file
// and puts it in HistoryFileName: 1 when found. 0 when the search passed today
// (forward) or went below 1999 (backward); the user then hears a beep and
// reads "Sorry, no more data available.", and HistoryFileName is unchanged.
int GetOtherDateFile(HistoryData& data, bool forward, const std::filesystem::path& dataDirectory,
                     const Clock& clock, Dialogs& dialogs, StatusMessages& status);

}  // namespace qrv
