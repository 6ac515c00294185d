#include <gtest/gtest.h>

#include <tuple>

#include "acquisition/alarm_evaluation.h"
#include "runtime/encoding.h"
#include "runtime/program_log_file.h"
#include "support/recording_status_display.h"
#include "support/temp_dir.h"

namespace qrv::testing {
namespace {

using acquisition::AlarmEvaluator;

class RecordingOutputs final : public acquisition::AlarmOutputs {
  public:
    void AlarmRelais(bool on) override { relay = on; }
    void RedLed(bool on) override { red = on; }
    bool relay = false;
    bool red = false;
};

class RecordingSms final : public acquisition::AlarmSmsSink {
  public:
    int SendAlarmMessage(std::string text) override {
        texts.push_back(std::move(text));
        return 0;
    }
    std::vector<std::string> texts;
};

class AlarmEvaluationTest : public ::testing::Test {
  protected:
    AlarmEvaluationTest() { evaluator.SetNetworkName("QRV-Data"); }

    SensorRecord& AddProbe(int type, double value) {
        const auto shared = table.Lock();
        const int index = shared->GetMax1820Index() + 1;
        SensorRecord& record = shared->SensorArray[static_cast<std::size_t>(index)];
        record.Line = 1;
        record.Name = "Probe " + std::to_string(index);
        record.SensorType = type;
        record.Units = type == kTypeTemperature ? "\u00B0C" : type == kTypeHumidity ? " %" : "  ";
        record.Value = value;
        record.AlarmLow = record.TripLow = -100;
        record.AlarmHigh = record.TripHigh = 200;
        record.SmsEnable = 1;
        return record;
    }
    // Runs n evaluations, two seconds apart.
    void Evaluate(int n = 1) {
        for (int i = 0; i < n; ++i) {
            clock.Advance(2.0);
            evaluator.HandleAlarmInterrupt();
        }
    }
    std::vector<std::string> AlarmLines() const {
        const std::string text = Cp1252ToUtf8(ReadBytes(dir / "QRVAlarm.txt"));
        std::vector<std::string> lines;
        for (std::size_t at = 0; at < text.size();) {
            const std::size_t end = text.find("\r\n", at);
            const std::string line = text.substr(at, end - at);
            if (line.size() > 18 && line[4] == '-' && line.find("created") == std::string::npos) {
                lines.push_back(line.substr(18));  // the message after "YYYY-MM-DD HH:MM: "
            }
            at = end + 2;
        }
        return lines;
    }

    TempDir dir;
    // Monday 5 January 2026.
    VirtualClock clock{LocalDateTime{2026, 1, 5, 12, 0, 0, 0}};
    RecordingStatusDisplay display;
    ProgramLogFile programLog{dir / "QRVLog.txt", clock};
    acquisition::AlarmLog alarmLog{dir / "QRVAlarm.txt", clock, programLog};
    SharedSensorTable table;
    acquisition::StationFlags flags;
    SettingsOwner settings;
    RecordingOutputs outputs;
    RecordingSms sms;
    LiveFeed feed;
    FeedSubscription events = feed.Subscribe();
    AlarmEvaluator evaluator{
        {table, flags, clock, display, outputs, alarmLog, sms, settings, feed}};
};

TEST_F(AlarmEvaluationTest, PreHighAfterSixtySecondsThenHighAfterTwoMinutes) {
    SensorRecord& probe = AddProbe(kTypeTemperature, 31.0);
    probe.Name = "Freezer";
    probe.AlarmHigh = 30;
    probe.AlarmDelay = 120;
    probe.TripHigh = 25;
    probe.TripDelay = 60;
    Evaluate(29);
    EXPECT_EQ(probe.AlarmState, kAlarmNone);
    EXPECT_EQ(probe.TripDelayCount, 58);
    Evaluate(1);
    EXPECT_EQ(probe.AlarmState, kPreAlarmHigh);
    EXPECT_TRUE(outputs.red);
    EXPECT_EQ(flags.SensorAlarm, 1);
    Evaluate(29);
    EXPECT_EQ(probe.AlarmState, kPreAlarmHigh);
    Evaluate(1);
    EXPECT_EQ(probe.AlarmState, kAlarmHigh);
    EXPECT_EQ(AlarmLines(), (std::vector<std::string>{"Pre-High Alarm:  Freezer    31.0\u00B0C",
                                                      "High Alarm:  Freezer    31.0\u00B0C"}));
    ASSERT_EQ(sms.texts.size(), 2U);
    EXPECT_EQ(
        sms.texts[1],
        "QUORVANEL MESSAGE:   High Alarm:   Freezer    31.0 C,05/01/2026, 12:02:00,  QRV-Data");
    EXPECT_EQ(display.Snapshot().raises, 2);

    // Back between the limits: pre-high again (a changed alarm), then ended.
    probe.Value = 27.0;
    Evaluate();
    EXPECT_EQ(probe.AlarmState, kPreAlarmHigh);
    probe.Value = 20.0;
    Evaluate();
    EXPECT_EQ(probe.AlarmState, kAlarmNone);
    EXPECT_FALSE(outputs.red);
    EXPECT_EQ(flags.SensorAlarm, 0);
    EXPECT_EQ(AlarmLines().back(), "Value OK:  Freezer    20.0\u00B0C");
    EXPECT_EQ(sms.texts.size(), 3U);

    // Each change is published once, with the value that made it.
    std::vector<std::tuple<int, int, double>> changes;
    for (const LiveEvent& event : events.Drain().events) {
        ASSERT_EQ(event.kind, LiveEventKind::kAlarmChanged);
        EXPECT_EQ(event.name, "Freezer");
        EXPECT_EQ(event.index, 0);
        changes.emplace_back(event.oldAlarm, event.newAlarm, event.value);
    }
    EXPECT_EQ(changes,
              (std::vector<std::tuple<int, int, double>>{{kAlarmNone, kPreAlarmHigh, 31.0},
                                                         {kPreAlarmHigh, kAlarmHigh, 31.0},
                                                         {kAlarmHigh, kPreAlarmHigh, 27.0},
                                                         {kPreAlarmHigh, kAlarmNone, 20.0}}));
}

TEST_F(AlarmEvaluationTest, HighLimitsCountFromTheirValueAndLowLimitsBelowIt) {
    SensorRecord& high = AddProbe(kTypeTemperature, 30.0);
    high.AlarmHigh = 30;
    SensorRecord& low = AddProbe(kTypeHumidity, 10.0);
    low.AlarmLow = 10;
    SensorRecord& lower = AddProbe(kTypeHumidity, 9.99);
    lower.AlarmLow = 10;
    Evaluate();
    EXPECT_EQ(high.AlarmState, kAlarmHigh);
    EXPECT_EQ(low.AlarmState, kAlarmNone);
    EXPECT_EQ(lower.AlarmState, kAlarmLow);
}

TEST_F(AlarmEvaluationTest, ASwitchAlarmsOnItsRoundedContactAndAnInhibitedProbeOnlyWhenLost) {
    SensorRecord& door = AddProbe(kTypeSwitch, 0.0);
    door.Name = "Door";
    door.AlarmHigh = 1;
    door.AlarmDelay = 0;
    SensorRecord& inhibited = AddProbe(kTypeTemperature, 500.0);
    inhibited.Status = kStatusInhibit;
    inhibited.AlarmHigh = inhibited.TripHigh = 0;
    Evaluate();
    EXPECT_EQ(door.AlarmState, kAlarmNone);
    door.Value = 0.6;
    Evaluate();
    EXPECT_EQ(door.AlarmState, kAlarmHigh);
    EXPECT_EQ(inhibited.AlarmState, kAlarmNone);
    door.Value = 1.0;
    door.Status = kStatusOff;
    Evaluate();
    EXPECT_EQ(door.AlarmState, kAlarmNone);
    EXPECT_EQ(AlarmLines().back(), "Value OK:  Door Open  ");

    inhibited.LostCount = 5;  // the fifth failed reading: 57 more steps to 119
    Evaluate(57);
    EXPECT_EQ(inhibited.AlarmState, kAlarmNone);
    Evaluate();
    EXPECT_EQ(inhibited.AlarmState, kAlarmLost);
    EXPECT_EQ(inhibited.LostCount, 120);
    EXPECT_EQ(AlarmLines().back(), "Probe lost  Probe 1");
}

TEST_F(AlarmEvaluationTest, TheLostDelayIsTheShorterDelayButAtLeastTwoMinutes) {
    SensorRecord probe;
    probe.AlarmDelay = 600;
    probe.TripDelay = 300;
    EXPECT_EQ(acquisition::LostDelay(probe), 300);
    probe.AlarmDelay = probe.TripDelay = 0;
    EXPECT_EQ(acquisition::LostDelay(probe), 120);
}

TEST_F(AlarmEvaluationTest, AlarmsCountOnlyInsideTheWindowOfTheEvaluatedDay) {
    SensorRecord& probe = AddProbe(kTypeTemperature, 40.0);
    probe.Name = "Office";
    probe.AlarmHigh = 30;
    probe.AlarmTimes[0] = {32, 72};  // Monday 08:00 to 18:00
    clock.SetNow({2026, 1, 5, 7, 59, 0, 0});
    Evaluate();
    EXPECT_EQ(probe.AlarmState, kAlarmNone);
    clock.SetNow({2026, 1, 5, 7, 59, 58, 0});
    Evaluate();  // 08:00:00
    EXPECT_EQ(probe.AlarmState, kAlarmHigh);
    clock.SetNow({2026, 1, 5, 17, 59, 58, 0});
    Evaluate();  // 18:00:00
    EXPECT_EQ(probe.AlarmState, kAlarmNone);
    EXPECT_EQ(AlarmLines().back(), "Value OK:  Office    40.0\u00B0C");

    // Tuesday's window is the whole day.
    clock.SetNow({2026, 1, 6, 17, 59, 58, 0});
    Evaluate();
    EXPECT_EQ(probe.AlarmState, kAlarmHigh);
    probe.AlarmTimes[2] = {40, 40};  // no alarms on Wednesday
    clock.SetNow({2026, 1, 7, 12, 0, 0, 0});
    Evaluate();
    EXPECT_EQ(probe.AlarmState, kAlarmNone);
    // A weekday out of range stands for the whole day.
    EXPECT_EQ(acquisition::AlarmIsNotInsideBlockEnableTimes(probe, 9, {2026, 1, 7, 12, 0, 0, 0}),
              0);
}

TEST_F(AlarmEvaluationTest, AtMidnightTheNewDaysWindowAppliesWithoutAnyStore) {
    SensorRecord& probe = AddProbe(kTypeTemperature, 40.0);
    probe.Name = "Office";
    probe.AlarmHigh = 30;
    probe.AlarmTimes[1] = {4, 96};  // Tuesday from 01:00
    clock.SetNow({2026, 1, 5, 23, 59, 50, 0});
    Evaluate();
    EXPECT_EQ(probe.AlarmState, kAlarmHigh);
    Evaluate(4);  // 00:00:00
    EXPECT_EQ(probe.AlarmState, kAlarmNone);
    EXPECT_EQ(AlarmLines().back(), "Value OK:  Office    40.0\u00B0C");
    clock.SetNow({2026, 1, 6, 0, 59, 58, 0});
    Evaluate();  // 01:00:00
    EXPECT_EQ(probe.AlarmState, kAlarmHigh);
}

TEST(AlarmWeekday, IsTheIsoWeekdayOfTheDate) {
    EXPECT_EQ(acquisition::WeekdayOf({2026, 1, 5, 0, 0, 0, 0}), 1);    // Monday
    EXPECT_EQ(acquisition::WeekdayOf({2026, 3, 8, 23, 59, 0, 0}), 7);  // Sunday
    EXPECT_EQ(acquisition::WeekdayOf({2024, 2, 29, 12, 0, 0, 0}), 4);  // leap day, Thursday
    EXPECT_EQ(acquisition::WeekdayOf({2000, 1, 1, 12, 0, 0, 0}), 6);   // Saturday
}

TEST_F(AlarmEvaluationTest, TheRelayFollowsRelayProbesAndTheMuteUntilANewAlarmUnmutes) {
    SensorRecord& cold = AddProbe(kTypeTemperature, 10.0);
    cold.AlarmHigh = 5;
    cold.RelayEnable = 1;
    SensorRecord& office = AddProbe(kTypeTemperature, 22.0);
    office.AlarmHigh = 30;
    office.SmsEnable = 0;
    Evaluate();
    EXPECT_TRUE(outputs.relay);
    EXPECT_TRUE(outputs.red);

    flags.AlarmUserStatus = 0;  // muted with the alarm button
    Evaluate();
    EXPECT_FALSE(outputs.relay);
    EXPECT_TRUE(outputs.red);

    office.Value = 31.0;  // a further alarm, on a probe without the relay
    Evaluate();
    EXPECT_EQ(flags.AlarmUserStatus, 1);
    EXPECT_TRUE(outputs.relay);
    EXPECT_EQ(display.Snapshot().alarmButtonValue, 1);
    EXPECT_EQ(sms.texts.size(), 1U);  // only the probe with SMS enabled
    EXPECT_EQ(AlarmLines().size(), 2U);

    cold.Value = 0.0;
    Evaluate();
    EXPECT_FALSE(outputs.relay);  // the remaining alarm does not want it
    EXPECT_TRUE(outputs.red);
}

TEST_F(AlarmEvaluationTest, AFailedAlarmFileWriteIsLoggedAndWrittenLateWhenTheFileTakesLines) {
    SensorRecord& probe = AddProbe(kTypeTemperature, 40.0);
    probe.AlarmHigh = 30;
    std::filesystem::create_directory(dir / "QRVAlarm.txt");  // cannot be written as a file
    Evaluate();
    EXPECT_EQ(probe.AlarmState, kAlarmHigh);
    const std::string log = Cp1252ToUtf8(ReadBytes(dir / "QRVLog.txt"));
    EXPECT_NE(log.find(": Alarm file QRVAlarm.txt not written, kept to write later: High Alarm:  "
                       "Probe 0    40.0\u00B0C"),
              std::string::npos)
        << log;

    alarmLog.WritePending();  // still no file to take it: kept
    std::filesystem::remove(dir / "QRVAlarm.txt");
    clock.Advance(600.0);
    probe.Value = 20.0;
    Evaluate();  // the end of the alarm follows the line that is late
    EXPECT_EQ(AlarmLines(),
              (std::vector<std::string>{"(late, of 2026-01-05 12:00) High Alarm:  Probe 0    "
                                        "40.0\u00B0C",
                                        "Value OK:  Probe 0    20.0\u00B0C"}));
    alarmLog.WritePending();
    EXPECT_EQ(AlarmLines().size(), 2U) << "written once";
}

}  // namespace
}  // namespace qrv::testing
