// Time out of range from stored values: each value for its own interval.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <vector>

#include "records/out_of_range.h"

namespace qrv::records {
namespace {

// Blocks every `step` minutes from `from` up to before `to`.
void AddBlocks(std::vector<int>& minutes, int from, int to, int step) {
    for (int m = from; m < to; m += step) {
        minutes.push_back(m);
    }
}

// Values of 5.0 with 9.0 at every block in [from, to).
std::vector<double> HighBetween(const std::vector<int>& minutes, int from, int to) {
    std::vector<double> values;
    for (const int m : minutes) {
        values.push_back(m >= from && m < to ? 9.0 : 5.0);
    }
    return values;
}

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
    EXPECT_EQ(out.minutesAbove, 15);
    EXPECT_EQ(out.minutesBelow, 10);

    // The station was off for an hour after a high value; the last value of
    // the day counts only up to midnight.
    const std::vector<int> gap{600, 605, 610, 670, 675, 1438};
    const std::vector<double> high{9, 5, 9, 5, 5, 9};
    EXPECT_EQ(DayTimeOutOfRange(gap, high, 2, 8).minutesAbove, 5 + 5 + 2);

    EXPECT_EQ(
        DayTimeOutOfRange(std::vector<int>{720}, std::vector<double>{-30.0}, -25, -15).minutesBelow,
        1);
}

TEST(TimeOutOfRange, AnIntervalSetByHandOutsideTheMenuCountsAtItsOwnStep) {
    // SampleRate=3 typed into the settings file: every 3 minutes all day,
    // half an hour above the limit from 06:00.
    std::vector<int> minutes;
    AddBlocks(minutes, 0, 1440, 3);
    EXPECT_EQ(DayTimeOutOfRange(minutes, HighBetween(minutes, 360, 390), 2, 8).minutesAbove, 30);
    // The same with a station stop: the gap counts for no more than a step.
    std::vector<int> stopped;
    AddBlocks(stopped, 0, 363, 3);
    AddBlocks(stopped, 500, 1440, 3);
    EXPECT_EQ(DayTimeOutOfRange(stopped, HighBetween(stopped, 360, 390), 2, 8).minutesAbove, 3);
}

TEST(TimeOutOfRange, AnIntervalChangeCountsEachPartAtItsOwnInterval) {
    // Every minute until noon, every 5 minutes after: an hour above the
    // limit after noon is an hour, not twelve minutes.
    std::vector<int> minutes;
    AddBlocks(minutes, 0, 720, 1);
    AddBlocks(minutes, 720, 1440, 5);
    EXPECT_EQ(DayTimeOutOfRange(minutes, HighBetween(minutes, 780, 840), 2, 8).minutesAbove, 60);
    // The same hour in the morning is still an hour.
    EXPECT_EQ(DayTimeOutOfRange(minutes, HighBetween(minutes, 300, 360), 2, 8).minutesAbove, 60);
    // The whole day is counted once, whatever its intervals.
    const std::vector<int> counted = CountedMinutes(minutes);
    EXPECT_EQ(std::accumulate(counted.begin(), counted.end(), 0), 1440);

    // Every 10 minutes, then every minute from 06:00 to the day's end.
    std::vector<int> slower;
    AddBlocks(slower, 0, 360, 10);
    AddBlocks(slower, 360, 1440, 1);
    EXPECT_EQ(DayTimeOutOfRange(slower, HighBetween(slower, 120, 180), 2, 8).minutesAbove, 60);
    EXPECT_EQ(DayTimeOutOfRange(slower, HighBetween(slower, 600, 610), 2, 8).minutesAbove, 10);
}

TEST(TimeOutOfRange, AGapCountsOnlyForTheIntervalInForce) {
    // Every minute, off from 10:00 to 11:00 and from 12:00 to 15:00: the
    // values before the gaps count for one minute, not the hours unmeasured.
    std::vector<int> minutes;
    AddBlocks(minutes, 0, 601, 1);
    AddBlocks(minutes, 660, 721, 1);
    AddBlocks(minutes, 900, 1440, 1);
    EXPECT_EQ(DayTimeOutOfRange(minutes, HighBetween(minutes, 600, 601), 2, 8).minutesAbove, 1);
    EXPECT_EQ(DayTimeOutOfRange(minutes, HighBetween(minutes, 720, 721), 2, 8).minutesAbove, 1);
    const std::vector<int> counted = CountedMinutes(minutes);
    EXPECT_EQ(std::accumulate(counted.begin(), counted.end(), 0), 1440 - 59 - 179);

    // Hourly sampling with a gap of three hours: the value before it counts
    // for its hour.
    std::vector<int> hourly;
    AddBlocks(hourly, 0, 481, 60);
    AddBlocks(hourly, 720, 1440, 60);
    EXPECT_EQ(DayTimeOutOfRange(hourly, HighBetween(hourly, 480, 481), 2, 8).minutesAbove, 60);
    EXPECT_EQ(DayTimeOutOfRange(hourly, HighBetween(hourly, 0, 1440), 2, 8).minutesAbove,
              1440 - 180);
}

TEST(TimeOutOfRange, BlocksOffTheSamplingMinutesDoNotShrinkTheCount) {
    // Every 5 minutes, installed at 11:58; at 12:01/12:02 and 12:06/12:07
    // the network was stopped and started, each storing a block of its own,
    // so that one-minute steps are the day's most common. The excursion from
    // 12:00 to 12:10 lasted ten minutes.
    const std::vector<int> minutes{718, 720, 721, 722, 725, 726, 727, 730, 735, 740};
    EXPECT_EQ(DayTimeOutOfRange(minutes, HighBetween(minutes, 720, 730), 2, 8).minutesAbove, 10);
    // The same restarts in a long day.
    std::vector<int> longer;
    AddBlocks(longer, 600, 720, 5);
    for (const int m : {720, 721, 722, 725, 726, 727}) {
        longer.push_back(m);
    }
    AddBlocks(longer, 730, 840, 5);
    EXPECT_EQ(DayTimeOutOfRange(longer, HighBetween(longer, 720, 730), 2, 8).minutesAbove, 10);

    // Installed at 09:03, restarted at 09:31: blocks at 09:03, 09:31, 09:32
    // between the 5-minute ones. A value above from the start counts from
    // the installation to the next sampling minute.
    std::vector<int> installed{543};
    AddBlocks(installed, 545, 571, 5);
    for (const int m : {571, 572}) {
        installed.push_back(m);
    }
    AddBlocks(installed, 575, 660, 5);
    EXPECT_EQ(DayTimeOutOfRange(installed, HighBetween(installed, 543, 580), 2, 8).minutesAbove,
              580 - 543);
    // A stop at 10:58 that was the day's last block counts for the interval
    // in force, not for the rest of the day nor the short steps around it.
    installed.push_back(658);
    std::sort(installed.begin(), installed.end());
    EXPECT_EQ(DayTimeOutOfRange(installed, HighBetween(installed, 658, 659), 2, 8).minutesAbove, 5);
}

TEST(TimeOutOfRange, IntervalsInForceFollowTheDay) {
    EXPECT_EQ(IntervalsInForce(std::vector<int>{}), std::vector<int>{});
    EXPECT_EQ(IntervalsInForce(std::vector<int>{720}), std::vector<int>{1});
    // Two blocks five minutes apart: the one step there is.
    EXPECT_EQ(IntervalsInForce(std::vector<int>{720, 725}), (std::vector<int>{5, 5}));
    std::vector<int> minutes;
    AddBlocks(minutes, 0, 180, 1);
    AddBlocks(minutes, 180, 600, 15);
    const std::vector<int> intervals = IntervalsInForce(minutes);
    EXPECT_EQ(intervals.front(), 1);
    EXPECT_EQ(intervals.back(), 15);
    // A clock set back: the block before stands for its interval, not for
    // nothing.
    const std::vector<int> setBack{600, 605, 610, 615, 550, 555, 560};
    EXPECT_EQ(CountedMinutes(setBack), (std::vector<int>{5, 5, 5, 5, 5, 5, 5}));
    // Two blocks in one minute: the later one counts.
    EXPECT_EQ(CountedMinutes(std::vector<int>{600, 605, 605, 610}), (std::vector<int>{5, 0, 5, 5}));
}

}  // namespace
}  // namespace qrv::records
