#include "records/out_of_range.h"

#include <algorithm>
#include <map>

namespace qrv::records {

namespace {
constexpr int kMinutesPerDay = 1440;
}  // namespace

int SamplingInterval(std::span<const int> minutes) {
    std::map<int, int> steps;
    for (std::size_t i = 1; i < minutes.size(); ++i) {
        const int step = minutes[i] - minutes[i - 1];
        if (step > 0) {
            ++steps[step];
        }
    }
    int interval = 1;
    int seen = 0;
    for (const auto& [step, count] : steps) {
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
        const int end = i + 1 < minutes.size() ? minutes[i + 1] : kMinutesPerDay;
        counted[i] =
            std::max(0, std::min({interval, end - minutes[i], kMinutesPerDay - minutes[i]}));
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
    const std::vector<int> counted = CountedMinutes(minutes.first(n));
    for (std::size_t i = 0; i < n; ++i) {
        const int side = OutOfRangeSide(values[i], low, high);
        if (side > 0) {
            out.minutesAbove += counted[i];
        } else if (side < 0) {
            out.minutesBelow += counted[i];
        }
    }
    return out;
}

}  // namespace qrv::records
