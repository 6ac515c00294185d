// Time out of range from stored values: each value for its sampling interval.
#include <gtest/gtest.h>

#include <vector>

#include "records/out_of_range.h"

namespace qrv::records {
namespace {

TEST(TimeOutOfRange, EachValueCountsForItsIntervalGapsAndMidnightCut) {
    // Every 5 minutes from 08:00; three values above 8.0, two below 2.0.
    std::vector<int> minutes;
    std::vector<double> values;
    for (int m = 480; m < 540; m += 5) {
        minutes.push_back(m);
        values.push_back(5.0);
    }
    values[2] = values[3] = values[4] = 8.4;
    values[7] = 1.5;
    values[8] = 1.9;
    values[9] = 8.0;  // at the limit: within range
    const TimeOutOfRange out = DayTimeOutOfRange(minutes, values, 2.0, 8.0);
    EXPECT_EQ(SamplingInterval(minutes), 5);
    EXPECT_EQ(out.minutesAbove, 15);
    EXPECT_EQ(out.minutesBelow, 10);

    // The station was off for an hour after a high value; the last value of
    // the day counts only up to midnight.
    const std::vector<int> gap{600, 605, 610, 670, 675, 1438};
    const std::vector<double> high{9, 5, 9, 5, 5, 9};
    EXPECT_EQ(DayTimeOutOfRange(gap, high, 2, 8).minutesAbove, 5 + 5 + 2);
}

TEST(TimeOutOfRange, FewValuesAndMixedIntervals) {
    EXPECT_EQ(SamplingInterval(std::vector<int>{}), 1);
    EXPECT_EQ(SamplingInterval(std::vector<int>{720}), 1);
    EXPECT_EQ(
        DayTimeOutOfRange(std::vector<int>{720}, std::vector<double>{-30.0}, -25, -15).minutesBelow,
        1);
    // The interval changed from 10 to 1 minute during the day: the more
    // common step wins, a longer step counts only for it.
    const std::vector<int> mixed{0, 10, 20, 21, 22, 23, 24};
    EXPECT_EQ(SamplingInterval(mixed), 1);
    const std::vector<double> values(mixed.size(), 10.0);
    EXPECT_EQ(DayTimeOutOfRange(mixed, values, 0, 8).minutesAbove, 1 + 1 + 1 + 1 + 1 + 1 + 1);
}

}  // namespace
}  // namespace qrv::records
