#pragma once

#include <filesystem>
#include <set>
#include <tuple>
#include <vector>

#include "runtime/clock.h"
#include "storage/read_progress.h"

namespace qrv {

// The days that have a result file ("YYYY-MM-DD.qrd") in a data directory,
// listed once so that the report panel's month, week and day lists need no
// search per candidate.
class ResultFileIndex {
  public:
    explicit ResultFileIndex(const std::filesystem::path& dataDirectory);

    bool Has(int year, int month, int day) const;
    bool HasMonth(int year, int month) const;

  private:
    std::set<std::tuple<int, int, int>> days_;
};

// The report panel's lists: the months, ISO weeks or days of the period
// that have at least one result file. Each candidate is shown on the panel's
// message line as it is tested, and the line is hidden at the end.
std::vector<int> PutAllMonthsToScreen(const ResultFileIndex& files, int year, int taal,
                                      ReportProgress& progress);
std::vector<int> PutAllDaysToScreen(const ResultFileIndex& files, int year, int month, int taal,
                                    ReportProgress& progress);
// weekYear is the ISO week-numbering year; a week is listed when any of its
// seven days has a file, even when that day lies in another calendar year.
std::vector<int> PutAllWeeksToScreen(const ResultFileIndex& files, int weekYear,
                                     const LocalDateTime& today, int taal,
                                     ReportProgress& progress);

// The last week the week list offers: the year's last ISO week, or, for the
// current year, this week. On the last days of December that already belong
// to week 1 of the next year every week of the year is offered.
int LastListedWeek(int weekYear, const LocalDateTime& today);

// The value the list keeps current: the preselected one when it is listed,
// else the first; the preselected one when the list is empty.
int KeepSelection(const std::vector<int>& listed, int preselected);

}  // namespace qrv
