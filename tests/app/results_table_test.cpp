#include <gtest/gtest.h>

#include "app/shell/commands.h"
#include "app/shell/results_table.h"
#include "shell_fixture.h"

namespace qrv::testing {
namespace {

using shell::BuildResultsRow;
using shell::ResultsRow;
namespace rc = shell::results_colors;

SensorRecord Temperature(double value) {
    SensorRecord record;
    record.Line = 1;
    record.Name = "Freezer";
    record.SensorType = kTypeTemperature;
    record.Units = "\u00B0C";
    record.Value = value;
    record.AlarmHigh = 30;
    record.AlarmDelay = 120;
    record.TripHigh = 25;
    record.TripDelay = 60;
    return record;
}

TEST(ResultsRows, ValuesAreShownWithinTheirDisplayRangesOnly) {
    EXPECT_EQ(BuildResultsRow(Temperature(124.9), 0).cells[1], " 124.9\u00B0C");
    EXPECT_EQ(BuildResultsRow(Temperature(125.0), 0).cells[1], "   - - - - ");
    EXPECT_EQ(BuildResultsRow(Temperature(-49.9), 0).cells[1], " -49.9\u00B0C");
    EXPECT_EQ(BuildResultsRow(Temperature(-777.0), 0).cells[1], "   - - - - ");
    SensorRecord humidity = Temperature(100.0);
    humidity.SensorType = kTypeHumidity;
    humidity.Units = " %";
    EXPECT_EQ(BuildResultsRow(humidity, 0).cells[1], " 100.0 %");
    humidity.Value = 0.0;
    EXPECT_EQ(BuildResultsRow(humidity, 0).cells[1], "   - - - - ");
    SensorRecord door = Temperature(1.0);
    door.SensorType = kTypeSwitch;
    EXPECT_EQ(BuildResultsRow(door, 0).cells[1], " Open  ");
    door.Value = 0.0;
    EXPECT_EQ(BuildResultsRow(door, 3).cells[1], " Gesloten");
    door.Value = 2.0;
    EXPECT_EQ(BuildResultsRow(door, 0).cells[1], "   - - - - ");
}

TEST(ResultsRows, StatusAndAlarmColumnsWithTheirColours) {
    SensorRecord probe = Temperature(20.0);
    ResultsRow row = BuildResultsRow(probe, 0);
    EXPECT_EQ(row, (ResultsRow{{" Freezer", "  20.0\u00B0C", "On", ""}, rc::kRow, rc::kText}));

    probe.AlarmState = kAlarmHigh;
    row = BuildResultsRow(probe, 0);
    EXPECT_EQ(row.cells[3], "High Alarm");
    EXPECT_EQ(row.background, rc::kAlarm);
    EXPECT_EQ(row.text, rc::kAlarmText);
    probe.AlarmState = kPreAlarmLow;
    row = BuildResultsRow(probe, 0);
    EXPECT_EQ(row.cells[3], "Pre-Low Alarm");
    EXPECT_EQ(row.background, rc::kPreAlarm);
    EXPECT_EQ(row.text, rc::kText);

    probe.AlarmState = kAlarmLost;
    row = BuildResultsRow(probe, 0);
    EXPECT_EQ(row.cells[1], "????");
    EXPECT_EQ(row.cells[3], "Probe lost");
    probe.Status = kStatusInhibit;
    row = BuildResultsRow(probe, 0);
    EXPECT_EQ(row.cells[2], "On, no alarm");
    EXPECT_EQ(row.cells[3], "Probe lost");
    EXPECT_EQ(row.background, rc::kAlarm);
    probe.AlarmState = kAlarmHigh;  // an inhibited probe shows no other alarm
    EXPECT_EQ(BuildResultsRow(probe, 0).cells[3], "");

    probe.Status = kStatusOff;
    row = BuildResultsRow(probe, 0);
    EXPECT_EQ(row.cells[1], "   --------");
    EXPECT_EQ(row.cells[2], "Off");
    EXPECT_EQ(row.cells[3], "");
}

TEST(ResultsRows, ARunningDelayCountsDownInWholeMinutes) {
    SensorRecord probe = Temperature(31.0);
    probe.AlarmDelayCount = 30;  // 90 s of 120 left
    ResultsRow row = BuildResultsRow(probe, 0);
    EXPECT_EQ(row.cells[3], "High Alarm within   2 min.");
    EXPECT_EQ(row.background, rc::kCountdown);
    probe.Value = -5.0;  // below the high limit: the low alarm is coming
    EXPECT_EQ(BuildResultsRow(probe, 0).cells[3], "Low Alarm within   2 min.");

    probe.Value = 26.0;
    probe.AlarmDelayCount = 0;
    probe.TripDelayCount = 58;  // 2 s left
    EXPECT_EQ(BuildResultsRow(probe, 0).cells[3], "High Pre-Alarm within   1 min.");
    probe.AlarmDelayCount = 100;  // 20 s left, but the pre-alarm is nearer
    EXPECT_EQ(BuildResultsRow(probe, 0).cells[3], "High Pre-Alarm within   1 min.");
    probe.TripDelayCount = 10;
    probe.Value = 31.0;
    EXPECT_EQ(BuildResultsRow(probe, 1).cells[3], "Alarm hoch in   1 min.");
}

class ResultsTableTest : public ::testing::Test, protected ShellFixture {
  protected:
    void AddProbes(int count) {
        for (int i = 0; i < count; ++i) {
            SensorRecord& record = state.sensors.Lock()->SensorArray[static_cast<std::size_t>(i)];
            record = Temperature(20.0 + i);
            record.Name = "Probe " + std::to_string(i);
        }
    }
};

TEST_F(ResultsTableTest, AnEmptyTableShowsTheLogoAndAFullOneARowPerProbe) {
    shell::InitTheResultsTable(state, resultsTable, display);
    EXPECT_TRUE(display.Snapshot().logoShown);
    EXPECT_TRUE(resultsTable.rows.empty());
    EXPECT_EQ(state.SensorListActive, 0);

    AddProbes(19);
    shell::InitTheResultsTable(state, resultsTable, display);
    EXPECT_FALSE(display.Snapshot().logoShown);
    ASSERT_EQ(resultsTable.rows.size(), 19U);
    EXPECT_EQ(resultsTable.rows[18].cells[0], " Probe 18");
    EXPECT_EQ(state.SensorListActive, 1);
    EXPECT_EQ(resultsTable.headers.titles,
              (std::array<std::string, 4>{"QRV-Data", "Value", "Status", "Alarm status"}));
    EXPECT_EQ(resultsTable.headers.alarmTitleColor, rc::kAlarmsOnHeading);
}

TEST_F(ResultsTableTest, DisablingAlarmsRelabelsTheAlarmColumnInRed) {
    AddProbes(2);
    shell::InitTheResultsTable(state, resultsTable, display);
    dialogs.QueueButton(1);  // yes, disable every alarm
    shell::ExecuteMenuCommand(state, services, view, shell::MenuCommand::DisableAlarm, 0);
    rows.Serve();
    EXPECT_EQ(resultsTable.headers.titles[3], "Alarm is deactivated");
    EXPECT_EQ(resultsTable.headers.alarmTitleColor, rc::kAlarmsOffHeading);
    EXPECT_EQ(state.settingsOwner.GeneralAlarmEnable(), 0);
    shell::ExecuteMenuCommand(state, services, view, shell::MenuCommand::EnableAlarm, 0);
    rows.Serve();
    EXPECT_EQ(resultsTable.headers.titles[3], "Alarm status");
}

}  // namespace
}  // namespace qrv::testing
