// The rules of the alarm on the time out of range, step by step: when it
// rises and on which side, what counts, and how it ends.
#include <gtest/gtest.h>

#include "acquisition/time_alarms.h"

namespace qrv::acquisition {
namespace {

constexpr RomCode kFridgeRom{0x28, 1, 2, 3, 0, 0, 0, 0x11};

class TimeAlarmRules : public ::testing::Test {
  protected:
    TimeAlarmRules() {
        record.Rom = kFridgeRom;
        record.Name = "Fridge";
        record.SensorType = kTypeTemperature;
        record.AlarmLow = 2;
        record.AlarmHigh = 8;
        records::TimeAlarmBook book;
        book.Set({kFridgeRom, 1, 2});  // more than 1 min above, 2 below
        alarms.Configure(book);
        alarms.Seed(kFridgeRom, {});
    }
    // `seconds` of evaluations two seconds apart within one minute or more.
    std::optional<TimeOutOfRangeAlarms::Step> Run(int seconds, bool inside = true) {
        std::optional<TimeOutOfRangeAlarms::Step> step;
        for (int s = 0; s < seconds; s += 2) {
            step = alarms.Evaluate(record, inside, minute + (elapsed + s) / 60, 2);
        }
        elapsed += seconds;
        return step;
    }

    SensorRecord record;
    TimeOutOfRangeAlarms alarms;
    std::int64_t minute = 1'000'000;
    int elapsed = 0;
};

TEST_F(TimeAlarmRules, RisesPastTheThresholdAndBelowWinsOverAbove) {
    record.Value = 8.0;  // at the limit: within range
    EXPECT_EQ(Run(120)->state, kAlarmNone);
    record.Value = 8.1;
    EXPECT_EQ(Run(60)->state, kAlarmNone) << "exactly 1 min is not more than 1 min";
    const auto rose = Run(2);
    EXPECT_EQ(rose->state, kTimeAlarmHigh);
    EXPECT_EQ(rose->previous, kAlarmNone);
    EXPECT_EQ(rose->minutes, 2);
    record.Value = 1.0;
    EXPECT_EQ(Run(120)->state, kTimeAlarmHigh);
    const auto low = Run(2);
    EXPECT_EQ(low->state, kTimeAlarmLow);
    EXPECT_EQ(low->previous, kTimeAlarmHigh);
    EXPECT_EQ(low->minutes, 3);
}

TEST_F(TimeAlarmRules, WhatCountsAndWhatWatches) {
    record.Value = 9.0;
    record.LostCount = kLostCountLimit + 1;  // lost: the old value says nothing
    EXPECT_EQ(Run(300)->minutes, 0);
    record.LostCount = 0;
    record.Status = kStatusInhibit;  // counted, but no alarm
    EXPECT_EQ(Run(90)->state, kAlarmNone);
    record.Status = kStatusActive;
    EXPECT_EQ(Run(2, false)->state, kAlarmNone) << "outside the probe's alarm window";
    EXPECT_EQ(Run(2)->state, kTimeAlarmHigh);
    record.SensorType = kTypeSwitch;
    EXPECT_FALSE(CountsOutOfRange(record));
    record.SensorType = kTypeTemperature;
    record.Value = -777.0;
    EXPECT_FALSE(CountsOutOfRange(record)) << "no reading yet";

    SensorRecord other = record;
    other.Rom[1] = 9;
    EXPECT_FALSE(alarms.Evaluate(other, true, minute, 2)) << "no threshold, no account";
}

TEST_F(TimeAlarmRules, EndsWhenTheWindowDropsOrTheThresholdGoes) {
    record.Value = 9.0;
    ASSERT_EQ(Run(64)->state, kTimeAlarmHigh);
    record.Value = 5.0;
    // A day after the excursion began its first minute leaves the window.
    minute += records::kTimeAlarmWindowMinutes;
    elapsed = 0;
    const auto ended = Run(2);
    EXPECT_EQ(ended->state, kAlarmNone);
    EXPECT_EQ(ended->previous, kTimeAlarmHigh);
    EXPECT_EQ(ended->minutes, 1);
    EXPECT_TRUE(alarms.EndUnvisited().empty());

    record.Value = 9.0;
    ASSERT_EQ(Run(64)->state, kTimeAlarmHigh);
    alarms.EndUnvisited();
    alarms.Configure({});
    EXPECT_FALSE(alarms.Evaluate(record, true, minute, 2));
    const auto gone = alarms.EndUnvisited();
    ASSERT_EQ(gone.size(), 1U);
    EXPECT_EQ(gone[0].name, "Fridge");
    EXPECT_EQ(gone[0].previous, kTimeAlarmHigh);
    EXPECT_TRUE(alarms.EndUnvisited().empty());
    EXPECT_TRUE(alarms.Unseeded().empty());
}

TEST(TimeAlarmSeeding, AThresholdAddedWhileTheWalkRunsKeepsWhatItCountedBeforeTheSeed) {
    SensorRecord record;
    record.Rom = kFridgeRom;
    record.SensorType = kTypeTemperature;
    record.AlarmLow = 2;
    record.AlarmHigh = 8;
    record.Value = 9.0;
    TimeOutOfRangeAlarms alarms;
    records::TimeAlarmBook book;
    book.Set({kFridgeRom, 3, std::nullopt});
    alarms.Configure(book);
    const std::int64_t now = 1'000'000;
    for (int s = 0; s < 60; s += 2) {
        alarms.Evaluate(record, true, now, 2);
    }
    records::OutOfRangeWindow stored;
    stored.Add(now - 2, 1, 60);
    stored.Add(now - 1, 1, 60);
    alarms.Seed(kFridgeRom, stored);
    const auto step = alarms.Evaluate(record, true, now, 2);
    EXPECT_EQ(step->state, kAlarmNone) << "3 minutes are not more than 3";
    const auto rose = alarms.Evaluate(record, true, now + 1, 2);
    EXPECT_EQ(rose->state, kTimeAlarmHigh);
    EXPECT_EQ(rose->minutes, 4);
}

}  // namespace
}  // namespace qrv::acquisition
