#include "records/out_of_range.h"

#include <algorithm>
#include <array>
#include <map>

namespace qrv::records {

namespace {

constexpr int kMinutesPerDay = 1440;

// What value i counts for, with the day's interval.
int CountedAt(std::span<const int> minutes, std::size_t i, int interval) {
    const int end = i + 1 < minutes.size() ? minutes[i + 1] : kMinutesPerDay;
    return std::max(0, std::min({interval, end - minutes[i], kMinutesPerDay - minutes[i]}));
}

}  // namespace

int SamplingInterval(std::span<const int> minutes) {
    // Steps within a day are counted in place; the map takes only what a
    // day's minutes cannot give, so that the usual day allocates nothing.
    std::array<int, kMinutesPerDay> steps{};
    std::map<int, int> longer;
    for (std::size_t i = 1; i < minutes.size(); ++i) {
        const int step = minutes[i] - minutes[i - 1];
        if (step > 0 && step < kMinutesPerDay) {
            ++steps[static_cast<std::size_t>(step)];
        } else if (step > 0) {
            ++longer[step];
        }
    }
    int interval = 1;
    int seen = 0;
    for (int step = 1; step < kMinutesPerDay; ++step) {
        if (steps[static_cast<std::size_t>(step)] > seen) {
            interval = step;
            seen = steps[static_cast<std::size_t>(step)];
        }
    }
    for (const auto& [step, count] : longer) {
        if (count > seen) {
            interval = step;
            seen = count;
        }
    }
    return interval;
}

std::vector<int> CountedMinutes(std::span<const int> minutes) {
    const int interval = SamplingInterval(minutes);
    std::vector<int> counted(minutes.size(), 0);
    for (std::size_t i = 0; i < minutes.size(); ++i) {
        counted[i] = CountedAt(minutes, i, interval);
    }
    return counted;
}

int OutOfRangeSide(double value, double low, double high) {
    if (value > high) {
        return 1;
    }
    return value < low ? -1 : 0;
}

TimeOutOfRange DayTimeOutOfRange(std::span<const int> minutes, std::span<const double> values,
                                 double low, double high) {
    TimeOutOfRange out;
    const std::size_t n = std::min(minutes.size(), values.size());
    minutes = minutes.first(n);
    // Most days of most probes stay within their limits: the interval is
    // only worked out for a day that needs it.
    const auto outside = [&](double value) { return OutOfRangeSide(value, low, high) != 0; };
    if (std::none_of(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(n), outside)) {
        return out;
    }
    const int interval = SamplingInterval(minutes);
    for (std::size_t i = 0; i < n; ++i) {
        const int side = OutOfRangeSide(values[i], low, high);
        if (side > 0) {
            out.minutesAbove += CountedAt(minutes, i, interval);
        } else if (side < 0) {
            out.minutesBelow += CountedAt(minutes, i, interval);
        }
    }
    return out;
}

}  // namespace qrv::records
