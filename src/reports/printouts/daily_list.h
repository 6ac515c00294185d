#pragma once

#include <optional>
#include <string>

#include "reports/page_model.h"
#include "reports/printouts/print_context.h"
#include "storage/history_sensor.h"

namespace qrv {

inline constexpr int kListProbesPerPage = 8;
inline constexpr int kListRowCount = 48;  // one row per half hour

// Pages of eight probes side by side for a day of `probes` probes.
int DailyListPageCount(int probes);

// One cell of a list row: the value stored at exactly the half hour, "    -   "
// when there is none or it is an error value (a failed reading, a probe off).
std::string ListCell(std::optional<double> value, int probeType, std::string_view units, int taal);

// Page `page` (1-based) of `pages` of the daily list of the day read into
// `day`: its probes 8 (page - 1) .. 8 page - 1, the 48 half-hour rows.
ReportPage MakeDailyListPage(const HistoryData& day, int page, int pages,
                             const PrintContext& context);

}  // namespace qrv
