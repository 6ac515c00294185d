#include "records/out_of_range.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>

namespace qrv::records {

namespace {

constexpr int kMinutesPerDay = 1440;

// The sampling intervals a station can be set to.
constexpr std::array<int, 7> kStationIntervals{1, 2, 5, 10, 15, 30, 60};
constexpr std::size_t kSizes = kStationIntervals.size();

// A stop and a start between two sampling minutes add at most three steps.
constexpr std::size_t kMaxStepsBetweenRepeats = 3;

constexpr int kLongestInterval = kStationIntervals.back();

// How far from a block its interval is looked for: the longest interval, so
// that a station sampling hourly still sees its own steps.
constexpr int kIntervalReach = kLongestInterval;

constexpr int kNoStep = std::numeric_limits<int>::max();

// A step's place among kStationIntervals, or kIrregular.
using StepKind = std::int8_t;
constexpr StepKind kIrregular = -1;

constexpr std::array<StepKind, kLongestInterval + 1> kKindOfStep = [] {
    std::array<StepKind, kLongestInterval + 1> kinds{};
    kinds.fill(kIrregular);
    for (std::size_t k = 0; k < kSizes; ++k) {
        kinds[static_cast<std::size_t>(kStationIntervals[k])] = static_cast<StepKind>(k);
    }
    return kinds;
}();

// The step from block j to the next as a sampling interval, when it is one.
// Where in the minute a store lands is not asked: a station whose stores
// come late keeps its steps.
StepKind RegularStep(std::span<const int> minutes, std::size_t j) {
    const int step = minutes[j + 1] - minutes[j];
    return step > 0 && step <= kLongestInterval ? kKindOfStep[static_cast<std::size_t>(step)]
                                                : kIrregular;
}

// A regular step counts as evidence of the interval only when the same step
// comes again right before or after it, with no more than a stop and a start
// between: a single long step among short ones is the station being off (a
// gap of exactly an hour looks like an hourly store), while a station at its
// interval repeats its step. Returns each step's evidence (kIrregular where
// it gives none).
std::vector<StepKind> RepeatedSteps(std::span<const int> minutes) {
    const std::size_t steps = minutes.size() < 2 ? 0 : minutes.size() - 1;
    std::vector<StepKind> regular(steps);
    std::vector<StepKind> evidence(steps, kIrregular);
    // Per interval, one past the last step of it (0: none yet).
    std::array<std::size_t, kSizes> lastEnd{};
    bool any = false;
    for (std::size_t j = 0; j < steps; ++j) {
        regular[j] = RegularStep(minutes, j);
        if (regular[j] == kIrregular) {
            continue;
        }
        const auto k = static_cast<std::size_t>(regular[j]);
        if (const std::size_t end = lastEnd[k]; end > 0) {
            const int apart = minutes[j] - minutes[end];
            if (apart >= 0 && apart <= kStationIntervals[k] && j - end <= kMaxStepsBetweenRepeats) {
                evidence[j] = evidence[end - 1] = regular[j];
                any = true;
            }
        }
        lastEnd[k] = j + 1;
    }
    // A day whose steps never repeat (a few blocks) still shows its shortest
    // regular step: that one at least was measured.
    if (!any) {
        StepKind shortest = kIrregular;
        for (const StepKind step : regular) {
            if (step != kIrregular && (shortest == kIrregular || step < shortest)) {
                shortest = step;
            }
        }
        for (std::size_t j = 0; j < steps; ++j) {
            if (regular[j] == shortest) {
                evidence[j] = shortest;
            }
        }
    }
    return evidence;
}

// The step between blocks seen most often up to the longest interval, the
// shorter on a tie; 1 when there is none.
int MostCommonStep(std::span<const int> minutes) {
    std::array<int, kLongestInterval + 1> counts{};
    for (std::size_t j = 0; j + 1 < minutes.size(); ++j) {
        const int step = minutes[j + 1] - minutes[j];
        if (step > 0 && step <= kLongestInterval) {
            ++counts[static_cast<std::size_t>(step)];
        }
    }
    const auto most = std::max_element(counts.begin() + 1, counts.end());
    return *most == 0 ? 1 : static_cast<int>(most - counts.begin());
}

// What value i counts for: up to the next block (a later one in the same
// minute takes over; a clock set back ends the run like the day's end), for
// the interval at the most, never past midnight.
int CountedAt(std::span<const int> minutes, std::size_t i, int interval) {
    const int minute = minutes[i];
    int end = kMinutesPerDay;
    if (i + 1 < minutes.size() && minutes[i + 1] >= minute) {
        end = minutes[i + 1];
    }
    return std::max(0, std::min({end, minute + interval, kMinutesPerDay}) - minute);
}

}  // namespace

// The file does not say at which interval a block was stored; its steps do.
// A station at interval s stores every s minutes, so a step of s is evidence
// of s when it repeats (see RepeatedSteps); a lone long step is a gap and
// shows no interval. Blocks off the sampling minutes (an installation, a
// network stop, a start) add short steps that look like a shorter interval;
// taking the longest interval seen within an hour of the block keeps them
// from shrinking the count of the values around them. The step to the next
// block still bounds every value, so a day that changed to a shorter
// interval is overcounted only at a gap within the hour of the change.
std::vector<int> IntervalsInForce(std::span<const int> minutes) {
    const std::size_t n = minutes.size();
    std::vector<int> intervals(n, 1);
    if (n < 2) {
        return intervals;
    }
    const std::vector<StepKind> evidence = RepeatedSteps(minutes);
    // Most days show one interval only: every block has it, the nearest
    // evidence being of it whatever its distance.
    unsigned seen = 0;
    for (const StepKind kind : evidence) {
        if (kind != kIrregular) {
            seen |= 1U << static_cast<unsigned>(kind);
        }
    }
    if (seen == 0) {
        // No step the menu offers repeats: a settings file set by hand to
        // another interval (3, 20 minutes) still stores at its own. Its most
        // common step stands for it; the step to the next block bounds each
        // value as always.
        std::fill(intervals.begin(), intervals.end(), MostCommonStep(minutes));
        return intervals;
    }
    if ((seen & (seen - 1)) == 0) {
        std::fill(intervals.begin(), intervals.end(),
                  kStationIntervals[static_cast<std::size_t>(std::countr_zero(seen))]);
        return intervals;
    }
    // Per interval, the distance from each block to the nearest evidence of
    // it: ended before the block, or from the block on.
    std::vector<std::array<int, kSizes>> nearest(n);
    std::array<std::optional<int>, kSizes> lastEnd{};
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t k = 0; k < kSizes; ++k) {
            nearest[i][k] = lastEnd[k] ? std::abs(minutes[i] - *lastEnd[k]) : kNoStep;
        }
        if (i + 1 < n && evidence[i] != kIrregular) {
            lastEnd[static_cast<std::size_t>(evidence[i])] = minutes[i + 1];
        }
    }
    std::array<std::optional<int>, kSizes> nextStart{};
    for (std::size_t i = n; i-- > 0;) {
        if (i + 1 < n && evidence[i] != kIrregular) {
            nextStart[static_cast<std::size_t>(evidence[i])] = minutes[i];
        }
        for (std::size_t k = 0; k < kSizes; ++k) {
            if (nextStart[k]) {
                nearest[i][k] = std::min(nearest[i][k], std::abs(*nextStart[k] - minutes[i]));
            }
        }
    }
    for (std::size_t i = 0; i < n; ++i) {
        std::optional<std::size_t> within;
        std::optional<std::size_t> closest;
        for (std::size_t k = 0; k < kSizes; ++k) {
            const int distance = nearest[i][k];
            if (distance <= kIntervalReach) {
                within = k;
            }
            if (distance != kNoStep && (!closest || distance <= nearest[i][*closest])) {
                closest = k;
            }
        }
        if (const auto k = within ? within : closest) {
            intervals[i] = kStationIntervals[*k];
        }
    }
    return intervals;
}

std::vector<int> CountedMinutes(std::span<const int> minutes) {
    const std::vector<int> intervals = IntervalsInForce(minutes);
    std::vector<int> counted(minutes.size(), 0);
    for (std::size_t i = 0; i < minutes.size(); ++i) {
        counted[i] = CountedAt(minutes, i, intervals[i]);
    }
    return counted;
}

int CoveredMinutes(std::span<const int> ascendingMinutes) {
    if (ascendingMinutes.empty()) {
        return 0;
    }
    const std::vector<int> intervals = IntervalsInForce(ascendingMinutes);
    int covered = ascendingMinutes.front() < intervals.front() ? ascendingMinutes.front() : 0;
    for (std::size_t i = 0; i < ascendingMinutes.size(); ++i) {
        covered += CountedAt(ascendingMinutes, i, intervals[i]);
    }
    return covered;
}

int OutOfRangeSide(double value, double low, double high) {
    if (value > high) {
        return 1;
    }
    return value < low ? -1 : 0;
}

namespace {

// sideOf(i): whether value i lies above (1), below (-1) or within (0).
template <typename SideOf>
TimeOutOfRange CountOutOfRange(std::span<const int> minutes, const SideOf& sideOf) {
    TimeOutOfRange out;
    // Most days of most probes stay within their limits: the intervals are
    // only worked out for a day that needs them.
    std::size_t first = 0;
    while (first < minutes.size() && sideOf(first) == 0) {
        ++first;
    }
    if (first == minutes.size()) {
        return out;
    }
    const std::vector<int> counted = CountedMinutes(minutes);
    for (std::size_t i = first; i < minutes.size(); ++i) {
        const int side = sideOf(i);
        if (side > 0) {
            out.minutesAbove += counted[i];
        } else if (side < 0) {
            out.minutesBelow += counted[i];
        }
    }
    return out;
}

}  // namespace

TimeOutOfRange DayTimeOutOfRange(std::span<const int> minutes, std::span<const double> values,
                                 double low, double high) {
    const std::size_t n = std::min(minutes.size(), values.size());
    return CountOutOfRange(minutes.first(n),
                           [&](std::size_t i) { return OutOfRangeSide(values[i], low, high); });
}

TimeOutOfRange DayTimeOutOfRange(std::span<const int> minutes, std::span<const double> values,
                                 std::span<const std::pair<double, double>> limits) {
    const std::size_t n = std::min({minutes.size(), values.size(), limits.size()});
    return CountOutOfRange(minutes.first(n), [&](std::size_t i) {
        return OutOfRangeSide(values[i], limits[i].first, limits[i].second);
    });
}

}  // namespace qrv::records
