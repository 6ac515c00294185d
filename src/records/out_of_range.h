#pragma once

#include <span>
#include <vector>

namespace qrv::records {

// Minutes a probe spent above its high and below its low alarm limit.
struct TimeOutOfRange {
    int minutesAbove = 0;
    int minutesBelow = 0;
    int Total() const { return minutesAbove + minutesBelow; }
};

// The interval at which a day's values were stored: the most common step
// between consecutive values (the shorter on a tie), 1 with fewer than two.
int SamplingInterval(std::span<const int> minutes);

// The minutes each of a day's stored values (minutes since midnight,
// ascending) stands for: its sampling interval, or up to the next value when
// that comes sooner, and never past midnight. A gap longer than the interval
// (the station was off) counts only for the interval: what was not measured
// is not counted either way.
std::vector<int> CountedMinutes(std::span<const int> minutes);

// From one day's stored values, each counted as CountedMinutes says. Values
// at a limit are within range.
TimeOutOfRange DayTimeOutOfRange(std::span<const int> minutes, std::span<const double> values,
                                 double low, double high);

// Whether a value lies above high (1), below low (-1) or within range (0).
int OutOfRangeSide(double value, double low, double high);

}  // namespace qrv::records
