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

TimeOutOfRange DayTimeOutOfRange(std::span<const int> minutes, std::span<const double> values,
                                 double low, double high) {
    TimeOutOfRange out;
    const int interval = SamplingInterval(minutes);
    const std::size_t n = std::min(minutes.size(), values.size());
    for (std::size_t i = 0; i < n; ++i) {
        const int end = i + 1 < n ? minutes[i + 1] : kMinutesPerDay;
        const int counted =
            std::max(0, std::min({interval, end - minutes[i], kMinutesPerDay - minutes[i]}));
        if (values[i] > high) {
            out.minutesAbove += counted;
        } else if (values[i] < low) {
            out.minutesBelow += counted;
        }
    }
    return out;
}

}  // namespace qrv::records
