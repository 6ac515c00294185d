#include "reports/statistics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>
#include <vector>

namespace qrv {
namespace {

Statisticals FromSlots(const std::vector<std::pair<double, double>>& slots) {
    std::vector<double> max;
    std::vector<double> min;
    for (const auto& [hi, lo] : slots) {
        max.push_back(hi);
        min.push_back(lo);
    }
    return ComputeStatisticals(max, min, static_cast<int>(slots.size()) - 1);
}

TEST(ArrayRoutines, EmptyArraysAreRefused) {
    std::vector<double> none;
    double mean = 7.0;
    double sd = 8.0;
    EXPECT_EQ(Clear1D(none), kErrorNoElements);
    EXPECT_EQ(Sort(none, false, none), kErrorNoElements);
    EXPECT_EQ(StdDev(none, mean, sd), kErrorNoElements);
    EXPECT_EQ(mean, 7.0);
    EXPECT_EQ(sd, 8.0);
}

TEST(ArrayRoutines, ClearSortAndStdDev) {
    std::vector<double> values{3.0, -1.0, 2.0, 2.0};
    std::vector<double> out(5, 9.0);
    EXPECT_EQ(Sort(values, true, out), 0);
    EXPECT_EQ(out, (std::vector<double>{3.0, 2.0, 2.0, -1.0, 9.0}));
    EXPECT_EQ(Sort(values, false, values), 0);  // in place
    EXPECT_EQ(values, (std::vector<double>{-1.0, 2.0, 2.0, 3.0}));
    double mean = 0.0;
    double sd = 0.0;
    EXPECT_EQ(StdDev(values, mean, sd), 0);
    EXPECT_DOUBLE_EQ(mean, 1.5);
    EXPECT_DOUBLE_EQ(sd, std::sqrt(2.25));  // population, divisor n
    EXPECT_EQ(Clear1D(values), 0);
    EXPECT_EQ(values, std::vector<double>(4, 0.0));
}

TEST(Statistics, OneSlotCountsTwice) {
    const Statisticals s = FromSlots({{22.0, 20.0}});
    EXPECT_EQ(s.count, 2);
    EXPECT_DOUBLE_EQ(s.mean, 21.0);
    EXPECT_DOUBLE_EQ(s.stdDev, 1.0);
    EXPECT_EQ(s.minimum, 20.0);
    EXPECT_EQ(s.p10, 20.0);
    EXPECT_EQ(s.p25, 20.0);
    EXPECT_EQ(s.median, 21.0);
    EXPECT_EQ(s.p75, 22.0);
    EXPECT_EQ(s.p90, 22.0);
    EXPECT_EQ(s.maximum, 22.0);
}

TEST(Statistics, PercentilesOfTenValues) {
    // Sorted: 1 2 3 4 5 6 7 8 9 10.
    const Statisticals s = FromSlots({{10.0, 1.0}, {9.0, 2.0}, {8.0, 3.0}, {7.0, 4.0}, {6.0, 5.0}});
    EXPECT_EQ(s.count, 10);
    EXPECT_EQ(s.p10, 1.5);     // k = 100: mean of the first two
    EXPECT_EQ(s.p25, 3.0);     // k = 250: index 2
    EXPECT_EQ(s.median, 5.5);  // mean of the fifth and sixth
    EXPECT_EQ(s.p75, 8.0);
    EXPECT_EQ(s.p90, 9.5);
}

TEST(Statistics, EqualValuesHaveNoSpread) {
    const Statisticals s = FromSlots({{-18.7, -18.7}, {-18.7, -18.7}, {-18.7, -18.7}});
    EXPECT_EQ(s.stdDev, 0.0);
    EXPECT_FALSE(std::isnan(s.stdDev));
    EXPECT_EQ(FromSlots({}).count, 0);
    EXPECT_EQ(FromSlots({}).maximum, 0.0);
}

TEST(Statistics, AgreeWithAnIndependentComputation) {
    std::mt19937 random(42);
    std::normal_distribution<double> value(4.0, 3.0);
    for (int slots : {1, 2, 7, 31, 744, 745}) {
        std::vector<std::pair<double, double>> table;
        std::vector<long double> all;
        for (int i = 0; i < slots; ++i) {
            const double a = std::round(value(random) * 10) / 10;
            const double b = std::round(value(random) * 10) / 10;
            table.emplace_back(std::max(a, b), std::min(a, b));
            all.push_back(a);
            all.push_back(b);
        }
        const Statisticals s = FromSlots(table);
        const auto n = static_cast<long double>(all.size());
        const long double mean = std::accumulate(all.begin(), all.end(), 0.0L) / n;
        long double squares = 0.0L;
        for (long double v : all) {
            squares += (v - mean) * (v - mean);
        }
        std::sort(all.begin(), all.end());
        // The report's percentile: interpolated only where P * n / 100 is whole.
        const auto percentile = [&](int p) -> double {
            const long double position = p * n / 100.0L;
            const auto whole = static_cast<std::size_t>(position);
            return position == whole ? static_cast<double>((all[whole - 1] + all[whole]) / 2)
                                     : static_cast<double>(all[whole]);
        };
        ASSERT_EQ(s.count, static_cast<int>(all.size()));
        EXPECT_NEAR(s.mean, static_cast<double>(mean), 1e-9);
        EXPECT_NEAR(s.stdDev, static_cast<double>(std::sqrt(squares / n)), 1e-9);
        EXPECT_EQ(s.minimum, static_cast<double>(all.front()));
        EXPECT_EQ(s.maximum, static_cast<double>(all.back()));
        EXPECT_DOUBLE_EQ(s.p10, percentile(10));
        EXPECT_DOUBLE_EQ(s.p25, percentile(25));
        EXPECT_DOUBLE_EQ(s.median, percentile(50));
        EXPECT_DOUBLE_EQ(s.p75, percentile(75));
        EXPECT_DOUBLE_EQ(s.p90, percentile(90));
    }
}

TEST(StatisticsBlock, ElevenLinesInTheReportLayout) {
    const auto lines = CalculateAndListStatisticals(FromSlots({{22.0, 20.0}}), "\u00B0C", 0);
    const std::array<std::string, kStatisticsLineCount> expected{
        "Statistical data",
        "Number of values   :            2",
        "Mean value         :         21.0\u00B0C",
        "Standard deviation :          1.0\u00B0C",
        "Minimum value      :         20.0\u00B0C",
        "Percentile 10      :         20.0\u00B0C",
        "Percentile 25      :         20.0\u00B0C",
        "Median             :         21.0\u00B0C",
        "Percentile 75      :         22.0\u00B0C",
        "Percentile 90      :         22.0\u00B0C",
        "Maximum value      :         22.0\u00B0C",
    };
    EXPECT_EQ(lines, expected);

    const auto humidity = CalculateAndListStatisticals(FromSlots({{100.0, -5.5}}), " %", 0);
    EXPECT_EQ(humidity[10], "Maximum value      :        100.0 %");
    EXPECT_EQ(humidity[4], "Minimum value      :         -5.5 %");
    const auto dutch = CalculateAndListStatisticals(FromSlots({{1.0, 0.0}}), "  ", 3);
    EXPECT_EQ(dutch[0], "Statistische gegevens");
    EXPECT_TRUE(dutch[2].ends_with("   0.5  "));
}

}  // namespace
}  // namespace qrv
