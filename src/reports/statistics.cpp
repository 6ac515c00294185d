#include "reports/statistics.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "runtime/formats.h"
#include "text/texts.h"

namespace qrv {

namespace {

// A period has at most 745 slot entries, so at most 1490 values.
constexpr std::size_t kWorkingSize = 2000;

}  // namespace

int Clear1D(std::span<double> array) {
    if (array.empty()) {
        return kErrorNoElements;
    }
    std::fill(array.begin(), array.end(), 0.0);
    return 0;
}

int Sort(std::span<const double> in, bool descending, std::span<double> out) {
    if (in.empty() || out.size() < in.size()) {
        return kErrorNoElements;
    }
    if (in.data() != out.data()) {
        std::copy(in.begin(), in.end(), out.begin());
    }
    const auto sorted = out.first(in.size());
    if (descending) {
        std::sort(sorted.begin(), sorted.end(), std::greater<>());
    } else {
        std::sort(sorted.begin(), sorted.end());
    }
    return 0;
}

int StdDev(std::span<const double> in, double& mean, double& stdDev) {
    if (in.empty()) {
        return kErrorNoElements;
    }
    double sum = 0.0;
    double squares = 0.0;
    for (double value : in) {
        sum += value;
        squares += value * value;
    }
    const auto n = static_cast<double>(in.size());
    mean = sum / n;
    // Rounding can make the difference a tiny negative number.
    stdDev = std::sqrt(std::fabs(squares / n - mean * mean));
    return 0;
}

double ReportPercentile(std::span<const double> sorted, int percent) {
    if (sorted.empty()) {
        return 0.0;
    }
    const std::size_t k = static_cast<std::size_t>(percent) * sorted.size();
    const std::size_t i = k / 100;
    if (k % 100 != 0) {
        return sorted[std::min(i, sorted.size() - 1)];
    }
    return (sorted[i - 1] + sorted[i]) / 2.0;
}

Statisticals ComputeStatisticals(std::span<const double> slotMax, std::span<const double> slotMin,
                                 int lastIndex) {
    const std::size_t slots = std::min({static_cast<std::size_t>(std::max(lastIndex + 1, 0)),
                                        slotMax.size(), slotMin.size(), kWorkingSize / 2});
    std::vector<double> values(kWorkingSize, 0.0);
    for (std::size_t i = 0; i < slots; ++i) {
        values[2 * i] = slotMax[i];
        values[2 * i + 1] = slotMin[i];
    }
    const std::span<double> data(values.data(), 2 * slots);
    Statisticals stats;
    stats.count = static_cast<int>(data.size());
    if (data.empty()) {
        return stats;
    }
    StdDev(data, stats.mean, stats.stdDev);
    Sort(data, false, data);
    stats.minimum = data.front();
    stats.maximum = data.back();
    stats.p10 = ReportPercentile(data, 10);
    stats.p25 = ReportPercentile(data, 25);
    stats.median = ReportPercentile(data, 50);
    stats.p75 = ReportPercentile(data, 75);
    stats.p90 = ReportPercentile(data, 90);
    return stats;
}

std::array<std::string, kStatisticsLineCount> CalculateAndListStatisticals(
    const Statisticals& stats, std::string_view units, int taal) {
    using text::Key;
    const auto valueLine = [&](Key label, double value) {
        return text::Plain(label, taal) + "  " + notation::Real(value, 1, 6) + std::string(units);
    };
    return {
        text::Plain(Key::TXT_STATISTICAL_VALUES, taal),
        text::Plain(Key::TXT_STAT_NUMBER_OF_VALUES, taal) + "  " + notation::Int(stats.count, 6),
        valueLine(Key::TXT_STAT_MEAN, stats.mean),
        valueLine(Key::TXT_STAT_STDDEV, stats.stdDev),
        valueLine(Key::TXT_STAT_MINIMUM, stats.minimum),
        valueLine(Key::TXT_STAT_P_10, stats.p10),
        valueLine(Key::TXT_STAT_P_25, stats.p25),
        valueLine(Key::TXT_STAT_MEDIAN, stats.median),
        valueLine(Key::TXT_STAT_P_75, stats.p75),
        valueLine(Key::TXT_STAT_P_90, stats.p90),
        valueLine(Key::TXT_STAT_MAXIMUM, stats.maximum),
    };
}

}  // namespace qrv
