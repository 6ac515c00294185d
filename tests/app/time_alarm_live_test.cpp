// The alarm on a probe's minutes out of range in the last 24 hours, on a
// running simulated station in virtual time: it rises when the sum passes
// the threshold and not before, is written, published and sent once, keeps
// its count over a restart from the stored values, and ends when the old
// minutes leave the window.
#include <gtest/gtest.h>

#include <fmt/format.h>

#include "live_station.h"
#include "records/time_alarm.h"
#include "runtime/date_strings.h"
#include "sensors/rom_text.h"
#include "station/network_stop.h"
#include "storage/result_file_format.h"

namespace qrv::testing {
namespace {

// A freezer at 4 °C that stands at 9 °C from 2 to 10 minutes in.
constexpr const char* kExcursionNetwork = R"({"lines": [[
    {"type": "DS18B20", "temperature": {"value": 4.0, "steps": [[120, 9.0], [600, 4.0]]}}],
    [], []]})";
constexpr const char* kSteadyNetwork = R"({"lines": [[
    {"type": "DS18B20", "temperature": 4.0}], [], []]})";
constexpr LocalDateTime kStart{2026, 3, 9, 14, 0, 30, 0};

class TimeAlarmLive : public ::testing::Test {
  protected:
    explicit TimeAlarmLive(const char* network = kExcursionNetwork) : station(network, kStart) {
        freezer = station.AddProbe(1, 0, "Freezer");
        SensorRecord& probe = station.Probe(freezer);
        // Only the time out of range may raise an alarm here.
        probe.AlarmHigh = 8;
        probe.AlarmLow = -50;
        probe.TripHigh = 50;
        probe.TripLow = -50;
        probe.AlarmDelay = 7200;
        probe.TripDelay = 7200;
        probe.SmsEnable = 1;
    }

    void SetThreshold(int minutesAbove) {
        WriteBytes(station.dir / "QRVTimeAlarms.json",
                   fmt::format(R"({{"time_alarms": [{{"rom": "{}", "minutes_above": {}}}]}})",
                               RomToHex(station.Probe(freezer).Rom), minutesAbove));
    }

    std::vector<LiveEvent> TimeEvents() {
        std::vector<LiveEvent> events;
        for (LiveEvent& event : feed.Drain().events) {
            if (event.kind == LiveEventKind::kTimeAlarmChanged) {
                events.push_back(std::move(event));
            }
        }
        return events;
    }

    LiveStation station;
    int freezer = 0;
    FeedSubscription feed = station.monitoring.Feed().Subscribe(1 << 16);
};

TEST_F(TimeAlarmLive, RisesOncePassingTheThresholdAndSurvivesAReinstallation) {
    SetThreshold(5);
    station.ConfigureSms();
    station.launcher.SetRunSeconds(30.0);
    station.Install();

    // Above the limit from about 2 minutes in: 5 minutes are passed after 7.
    station.RunFor(410.0);
    EXPECT_EQ(Count(station.AlarmText(), "Time High Alarm"), 0) << station.AlarmText();
    EXPECT_TRUE(TimeEvents().empty());
    station.RunFor(40.0);
    EXPECT_EQ(Count(station.AlarmText(), "Time High Alarm:  Freezer     6 min in 24 h"), 1)
        << station.AlarmText();
    EXPECT_EQ(station.Probe(freezer).AlarmState, kAlarmNone) << "the limit's own alarm waits";
    EXPECT_TRUE(station.display.Snapshot().alarmBannerShown);
    const std::vector<LiveEvent> rose = TimeEvents();
    ASSERT_EQ(rose.size(), 1U);
    EXPECT_EQ(rose[0].rom, station.Probe(freezer).Rom);
    EXPECT_EQ(rose[0].oldAlarm, kAlarmNone);
    EXPECT_EQ(rose[0].newAlarm, kTimeAlarmHigh);
    EXPECT_EQ(rose[0].value, 6.0);
    station.FinishHandOffs();
    const auto launched = station.launcher.Launched();
    ASSERT_EQ(launched.size(), 1U);
    std::string sms;
    for (const std::string& word : launched[0]) {
        sms += word + " ";
    }
    EXPECT_NE(sms.find("Time High Alarm: Freezer 6 min in 24 h,09/03/2026, 14:0"),
              std::string::npos)
        << sms;

    // Back in range, the sum stays above the threshold for a day: no second
    // line, not even when the network is stopped and installed again: the
    // count is kept.
    station.RunFor(600.0);
    shell::StopHetNetwerk(station.state, station.services);
    station.Install();
    station.RunFor(120.0);
    EXPECT_EQ(Count(station.AlarmText(), "Time High Alarm"), 1) << station.AlarmText();
    EXPECT_EQ(Count(station.AlarmText(), "Time OK"), 0);
    EXPECT_TRUE(TimeEvents().empty());
    EXPECT_EQ(station.launcher.Launched().size(), 1U);
}

TEST_F(TimeAlarmLive, AThresholdSetWhileRunningAppliesWithinSecondsAndADamagedFileIsKeptOff) {
    station.Install();
    station.RunFor(450.0);
    EXPECT_EQ(Count(station.AlarmText(), "Time High Alarm"), 0);
    SetThreshold(3);  // the stored minutes alone pass it
    station.RunFor(2.0);
    EXPECT_EQ(Count(station.LogText(), "Time alarms reread from QRVTimeAlarms.json"), 1);
    EXPECT_EQ(Count(station.AlarmText(), "Time High Alarm"), 1) << station.AlarmText();

    WriteBytes(station.dir / "QRVTimeAlarms.json", "{ half written");
    station.RunFor(5.0);
    EXPECT_EQ(Count(station.LogText(), "Time alarms not reread"), 1) << "logged once";
    EXPECT_EQ(Count(station.AlarmText(), "Time OK"), 0) << "the threshold in use is kept";
}

// A restart at 14:00 after an excursion yesterday from 14:00 to 15:30 and
// a short one this morning: the stored values give the count at once. The
// probe stays in range from now on.
class TimeAlarmRestart : public TimeAlarmLive {
  protected:
    TimeAlarmRestart() : TimeAlarmLive(kSteadyNetwork) {
        std::filesystem::create_directories(station.dir / "QRVDATA");
        const auto key = MakeProbeKey(station.Probe(freezer).Rom, kTypeTemperature);
        const auto write = [&](const std::string& date, int from, int to) {
            std::string bytes = FormatResultHeader(date);
            for (int minute = from; minute < to; minute += 10) {
                const bool above =
                    date == "2026-03-08" ? minute >= 840 && minute < 930 : minute < 500;
                const std::vector<ProbeLineData> probes{{key, above ? 9.0 : 4.0, "Freezer"}};
                AppendSampleBlock(bytes, minute / 60, minute % 60, probes);
            }
            WriteBytes(station.dir / "QRVDATA" / (date + ".qrd"), bytes);
        };
        write("2026-03-08", 0, 1440);
        write("2026-03-09", 480, 840);  // above at 08:00 and 08:10: 20 minutes
    }
};

TEST_F(TimeAlarmRestart, StartsFromTheStoredMinutesAndEndsWhenTheyLeaveTheWindow) {
    SetThreshold(60);
    station.Install();
    station.RunFor(2.0);
    // Yesterday 14:01 .. 15:29 and this morning's 20 minutes.
    EXPECT_EQ(Count(station.AlarmText(), "Time High Alarm:  Freezer   109 min in 24 h"), 1)
        << station.AlarmText();
    ASSERT_EQ(TimeEvents().size(), 1U);

    // At 14:49 yesterday's minutes have fallen to 40: 60 in all, no more.
    station.RunFor(47 * 60.0);
    EXPECT_EQ(Count(station.AlarmText(), "Time OK"), 0) << station.AlarmText();
    station.RunFor(120.0);
    EXPECT_EQ(Count(station.AlarmText(), "Time OK:  Freezer    60 min in 24 h"), 1)
        << station.AlarmText();
    const std::vector<LiveEvent> ended = TimeEvents();
    ASSERT_EQ(ended.size(), 1U);
    EXPECT_EQ(ended[0].oldAlarm, kTimeAlarmHigh);
    EXPECT_EQ(ended[0].newAlarm, kAlarmNone);
}

}  // namespace
}  // namespace qrv::testing
