#pragma once

#include <array>
#include <map>
#include <optional>
#include <string>

#include "records/out_of_range.h"
#include "reports/printouts/print_context.h"
#include "storage/history_sensor.h"
#include "storage/month_sensor.h"

namespace qrv {

// The minutes a probe of a day spent above its high and below its low alarm
// limit, against the limits the probe table holds now; none for a probe
// without limits (a switch, a probe that is off or no longer in the table).
std::optional<records::TimeOutOfRange> EntryTimeOutOfRange(const HistoEntry& entry,
                                                           const PrintContext& context);

// The same summed over every day file of the period, by result-file key.
// Each file is read whole once more: the period's slots keep only extremes.
using PeriodTimesOutOfRange = std::map<std::string, records::TimeOutOfRange, std::less<>>;
PeriodTimesOutOfRange PeriodTimeOutOfRange(const PeriodData& period, const PrintContext& context);

// The probe's figures among the period's; none for a probe without limits.
std::optional<records::TimeOutOfRange> OutOfRangeOf(const PeriodTimesOutOfRange& sums,
                                                    std::string_view probeKey);
// The period's figures of one probe.
std::optional<records::TimeOutOfRange> ProbeTimeOutOfRange(const PeriodData& period,
                                                           const MonthEntry& entry,
                                                           const PrintContext& context);

inline constexpr std::size_t kOutOfRangeLineCount = 2;

// The statistics block's lines for the minutes above and below, in the style
// of its other lines.
std::array<std::string, kOutOfRangeLineCount> OutOfRangeLines(
    const records::TimeOutOfRange& minutes, int taal);

}  // namespace qrv
