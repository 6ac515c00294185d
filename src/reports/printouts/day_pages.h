#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "reports/page_model.h"
#include "reports/printouts/day_graph.h"
#include "reports/printouts/print_context.h"
#include "sensors/sensor_record.h"
#include "storage/history_sensor.h"
#include "storage/today_reader.h"

namespace qrv {

inline constexpr int kDayValueLineCount = 33;
inline constexpr int kItemsPerValueLine = 5;
// A day of at most this many values also lists the values at quarter hours.
inline constexpr int kQuarterHourListLimit = 166;

// The value lines under a day page's graph: the values at whole ten minutes
// (and quarter hours on a day of at most 166 values), each once, five
// "HH:MM value" items a line, at most 33 lines.
std::vector<std::string> DayValueLines(const DaySeries& series, int taal);

// The day page of entry `entry` of the day read into `day`; a probe with
// limits gets its minutes out of range after the value lines.
ReportPage MakeDayPage(const HistoryData& day, int entry, const PrintContext& context);

// The hard copy of the current-values graph: today's values of the probe
// shown, without value lines.
ReportPage MakeHardCopyPage(const TodayView& today, const SensorRecord& record,
                            std::string_view todayFileDate, const PrintContext& context);

// The series of a day entry, and today's values of the probe the
// current-values view shows (none when the reader found no value).
DaySeries SeriesOf(const HistoEntry& entry);
DaySeries TodaySeries(const TodayView& today);

}  // namespace qrv
