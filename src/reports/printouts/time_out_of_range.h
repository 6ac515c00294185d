#pragma once

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "records/out_of_range.h"
#include "reports/printouts/print_context.h"
#include "storage/history_sensor.h"
#include "storage/month_sensor.h"

namespace qrv {

// The day a file holds, from its name or else its date line; none when
// neither is a date.
struct FileDay {
    int year = 0;
    int month = 0;
    int day = 0;
};
std::optional<FileDay> DayOfFile(const HistoryData& day);

// The minutes a probe of a day spent above its high and below its low alarm
// limit, against the limits the probe table holds now, taken back through
// the context's limit history to those in force at each value when the
// day is known; none for a probe without limits (a switch, a probe that is
// off or no longer in the table).
std::optional<records::TimeOutOfRange> EntryTimeOutOfRange(
    const HistoEntry& entry, const PrintContext& context,
    const std::optional<FileDay>& date = std::nullopt);

// The same summed over every day file of the period, by result-file key.
using PeriodTimesOutOfRange = std::map<std::string, records::TimeOutOfRange, std::less<>>;

// Sums the minutes day by day as the period's files are read (with the
// slots, in the one pass over them), each probe against the limits the
// lookup gave when its first day came, taken back through the history's
// changes to those in force when each value was stored.
class PeriodOutOfRangeTally {
  public:
    explicit PeriodOutOfRangeTally(LimitsLookup limits,
                                   std::shared_ptr<const records::LimitHistory> history = {});
    void AddDay(const HistoryData& day);
    const PeriodTimesOutOfRange& Sums() const { return sums_; }
    // The sums, when every probe's limits are still those they were counted
    // against; nullopt when the probe table has changed since.
    std::optional<PeriodTimesOutOfRange> SumsIfLimitsHold(const PrintContext& now) const;

  private:
    using AlarmLimits = std::optional<std::pair<int, int>>;  // low, high
    static AlarmLimits AlarmLimitsOf(const std::optional<ProbeLimits>& limits);

    struct Counted {
        AlarmLimits limits;
        std::string serial;  // as the trail names it; empty: never changed
    };

    // records::DayTimeOutOfRange, with the minutes each value stands for
    // worked out once for the probes of a day that share their blocks (as
    // good as all of them), not once for every probe.
    records::TimeOutOfRange DayTimeOutOfRange(std::span<const int> times,
                                              std::span<const double> values, double low,
                                              double high);

    LimitsLookup limits_;
    std::shared_ptr<const records::LimitHistory> history_;
    std::map<std::string, Counted, std::less<>> countedAgainst_;
    PeriodTimesOutOfRange sums_;
    std::vector<int> countedTimes_;
    std::vector<int> countedMinutes_;
};

// Reads every file of the period again for its minutes: for periods read
// without a tally, or whose limits changed since.
PeriodTimesOutOfRange PeriodTimeOutOfRange(const PeriodData& period, const PrintContext& context);

// The probe's figures among the period's; none for a probe without limits.
std::optional<records::TimeOutOfRange> OutOfRangeOf(const PeriodTimesOutOfRange& sums,
                                                    std::string_view probeKey);

inline constexpr std::size_t kOutOfRangeLineCount = 2;

// The statistics block's lines for the minutes above and below, in the style
// of its other lines.
std::array<std::string, kOutOfRangeLineCount> OutOfRangeLines(
    const records::TimeOutOfRange& minutes, int taal);

}  // namespace qrv
