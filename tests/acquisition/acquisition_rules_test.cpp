#include <gtest/gtest.h>

#include "acquisition/acquisition_rules.h"

namespace qrv::acquisition {
namespace {

SensorTable TableWithStatuses(std::initializer_list<int> statuses) {
    SensorTable table;
    int index = 0;
    for (const int status : statuses) {
        table.SensorArray[static_cast<std::size_t>(index)].Line = 1;
        table.SensorArray[static_cast<std::size_t>(index)].Status = status;
        ++index;
    }
    return table;
}

TEST(ProbeOrder, ActiveAndInhibitedProbesAreReadInTurnAndOffProbesPassedBy) {
    const SensorTable table =
        TableWithStatuses({kStatusOff, kStatusActive, kStatusOff, kStatusInhibit, kStatusOff});
    EXPECT_EQ(SetAcquireEersteSensor(table), 1);
    EXPECT_EQ(NextAcquireSensor(table, 1), 3);
    EXPECT_EQ(NextAcquireSensor(table, 3), 1);
    // From an off probe (switched off while it was next) the walk goes on.
    EXPECT_EQ(NextAcquireSensor(table, 4), 1);

    const SensorTable lonely = TableWithStatuses({kStatusOff, kStatusActive, kStatusOff});
    EXPECT_EQ(NextAcquireSensor(lonely, 1), 1);
    const SensorTable allOff = TableWithStatuses({kStatusOff, kStatusOff});
    EXPECT_EQ(SetAcquireEersteSensor(allOff), -1);
    EXPECT_EQ(NextAcquireSensor(allOff, 0), 0);
    EXPECT_EQ(SetAcquireEersteSensor(SensorTable{}), -1);
    EXPECT_EQ(NextAcquireSensor(SensorTable{}, 0), -1);
}

TEST(HumiditySmoothing, OnlyReadingsStrictlyWithinOnePercentAreSmoothed) {
    EXPECT_DOUBLE_EQ(SmoothHumidity(55.0, 55.4), 165.4 / 3.0);
    EXPECT_DOUBLE_EQ(SmoothHumidity(55.0, 54.2), 164.2 / 3.0);
    EXPECT_DOUBLE_EQ(SmoothHumidity(55.0, 56.0), 56.0);
    EXPECT_DOUBLE_EQ(SmoothHumidity(55.0, 54.0), 54.0);
    EXPECT_DOUBLE_EQ(SmoothHumidity(0.5, 0.0), 0.0);
    EXPECT_DOUBLE_EQ(SmoothHumidity(55.0, -498.0), -498.0);
}

class SamplingTriggerTest : public ::testing::Test {
  protected:
    // Checks once a second from `from` for `seconds`; returns the minutes of
    // the day at which a store was requested, storing as the station does.
    std::vector<int> Run(LocalDateTime from, int seconds, int interval) {
        VirtualClock clock(from);
        std::vector<int> requests;
        for (int s = 0; s < seconds; ++s, clock.Advance(1.0)) {
            const LocalDateTime now = clock.Now();
            if (trigger.Due(now, interval, lastSampleTime)) {
                lastSampleTime = now.hour * 60 + now.minute;
                requests.push_back(lastSampleTime);
            }
        }
        return requests;
    }

    SamplingTrigger trigger;
    int lastSampleTime = -1;
};

TEST_F(SamplingTriggerTest, AQuarterHourIntervalStoresOnceAtEachQuarterAcrossMidnight) {
    EXPECT_EQ(Run({2026, 1, 5, 23, 10, 0, 0}, 81 * 60, 15),
              (std::vector<int>{23 * 60 + 15, 23 * 60 + 30, 23 * 60 + 45, 0, 15, 30}));
}

TEST_F(SamplingTriggerTest, AMinuteNoCheckSawIsStoredOnceAtTheNextCheck) {
    VirtualClock clock({2026, 1, 5, 11, 58, 0, 0});
    EXPECT_FALSE(trigger.Due(clock.Now(), 5, lastSampleTime));
    clock.Advance(20 * 60);  // suspended from 11:58 to 12:18
    EXPECT_TRUE(trigger.Due(clock.Now(), 5, lastSampleTime));
    lastSampleTime = 12 * 60 + 18;
    EXPECT_FALSE(trigger.Due(clock.Now(), 5, lastSampleTime));
    clock.Advance(60);
    EXPECT_FALSE(trigger.Due(clock.Now(), 5, lastSampleTime));
    clock.Advance(60);
    EXPECT_TRUE(trigger.Due(clock.Now(), 5, lastSampleTime));  // 12:20, on time again
}

TEST_F(SamplingTriggerTest, AClockThatGoesBackDoesNotStopTheStores) {
    VirtualClock clock({2026, 1, 5, 12, 7, 0, 0});
    EXPECT_FALSE(trigger.Due(clock.Now(), 15, lastSampleTime));
    clock.SetNow({2026, 1, 5, 11, 14, 59, 0});
    EXPECT_FALSE(trigger.Due(clock.Now(), 15, lastSampleTime));
    clock.Advance(1.0);
    EXPECT_TRUE(trigger.Due(clock.Now(), 15, lastSampleTime));
}

TEST_F(SamplingTriggerTest, TheMinuteOfTheLastStoreIsNotRequestedAgainAfterARestart) {
    VirtualClock clock({2026, 1, 5, 12, 15, 40, 0});
    lastSampleTime = 12 * 60 + 15;  // the stopped network stored at 12:15:10
    trigger.Restart(clock.Now());
    EXPECT_FALSE(trigger.Due(clock.Now(), 15, lastSampleTime));
    lastSampleTime = 12 * 60;
    trigger.Restart(clock.Now());
    EXPECT_TRUE(trigger.Due(clock.Now(), 15, lastSampleTime));
}

}  // namespace
}  // namespace qrv::acquisition
