#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>

namespace qrv {

// Error code of the array routines: the number of elements is not above zero.
inline constexpr int kErrorNoElements = -20003;

// The array routines the statistics block is computed with; they return 0 or
// kErrorNoElements for an empty array.
int Clear1D(std::span<double> array);
// Copies in to out (which may be the same array) and sorts out.
int Sort(std::span<const double> in, bool descending, std::span<double> out);
// Mean and population standard deviation (divisor n); outputs untouched on error.
int StdDev(std::span<const double> in, double& mean, double& stdDev);

struct Statisticals {
    int count = 0;
    double mean = 0.0;
    double stdDev = 0.0;
    double minimum = 0.0;
    double p10 = 0.0;
    double p25 = 0.0;
    double median = 0.0;
    double p75 = 0.0;
    double p90 = 0.0;
    double maximum = 0.0;
};

// The statistics of one probe of a period from its slot table: every slot
// counts twice, with its maximum and its minimum. lastIndex is the index of
// the last slot entry; with no slot entry every figure is 0.
Statisticals ComputeStatisticals(std::span<const double> slotMax, std::span<const double> slotMin,
                                 int lastIndex);

// The P-th percentile of an ascending array as the reports define it: element
// P*n/100, or the mean of the two elements around it when P*n is a multiple
// of 100.
double ReportPercentile(std::span<const double> sorted, int percent);

inline constexpr std::size_t kStatisticsLineCount = 11;

// The eleven lines of a report page's statistics block (title, number of
// values, mean, standard deviation, minimum, P10, P25, median, P75, P90,
// maximum) in the language taal, values followed by the probe's units.
std::array<std::string, kStatisticsLineCount> CalculateAndListStatisticals(
    const Statisticals& stats, std::string_view units, int taal);

}  // namespace qrv
