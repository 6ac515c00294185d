#pragma once

#include <span>
#include <utility>
#include <vector>

namespace qrv::records {

// Minutes a probe spent above its high and below its low alarm limit.
struct TimeOutOfRange {
    int minutesAbove = 0;
    int minutesBelow = 0;
    int Total() const { return minutesAbove + minutesBelow; }
};

// The sampling interval in force when each of a day's blocks (minutes since
// midnight, in file order) was stored, as far as the file shows it; 1 for a
// day whose blocks show none (a single block).
std::vector<int> IntervalsInForce(std::span<const int> minutes);

// The minutes each of a day's stored values (minutes since midnight, in file
// order) stands for: up to the next value, at most the sampling interval in
// force when it was stored, and never past midnight. A gap longer than the interval (the station
// was off) counts only for the interval: what was not measured is not counted either way. Of two
// blocks in the same minute the later one counts.
std::vector<int> CountedMinutes(std::span<const int> minutes);

// The minutes of a day its blocks (minutes since midnight, ascending, each
// once) stand for: what CountedMinutes gives them, and the time before the
// first block when that block lies within one interval of midnight (the day
// before's last block stood for it).
int CoveredMinutes(std::span<const int> ascendingMinutes);

// From one day's stored values, each counted as CountedMinutes says. Values
// at a limit are within range.
TimeOutOfRange DayTimeOutOfRange(std::span<const int> minutes, std::span<const double> values,
                                 double low, double high);

// The same with each value's own limits (low, high): those in force when it
// was stored.
TimeOutOfRange DayTimeOutOfRange(std::span<const int> minutes, std::span<const double> values,
                                 std::span<const std::pair<double, double>> limits);

// Whether a value lies above high (1), below low (-1) or within range (0).
int OutOfRangeSide(double value, double low, double high);

}  // namespace qrv::records
