// The results rows as the live-event feed drives them: which rows a reading,
// an alarm change, the unit lost and back, and a queue that dropped events
// refresh.
#include <gtest/gtest.h>

#include "app/shell/results_table.h"
#include "shell_fixture.h"

namespace qrv::testing {
namespace {

class ResultsRowsTest : public ::testing::Test, protected ShellFixture {
  protected:
    ResultsRowsTest() {
        {
            const auto table = state.sensors.Lock();
            for (int i = 0; i < 3; ++i) {
                SensorRecord& record = table->SensorArray[static_cast<std::size_t>(i)];
                record.Line = 1;
                record.Rom = {0x28, static_cast<std::int16_t>(i + 1), 0, 0, 0, 0, 0, 0x11};
                record.Name = "Probe " + std::to_string(i);
                record.SensorType = kTypeTemperature;
                record.Units = "\u00B0C";
                record.Value = 4.5;
            }
        }
        shell::InitTheResultsTable(state, resultsTable, display);
        resultsTable.rowUpdates = 0;
    }

    // What the network timer publishes after storing a reading.
    void Read(int index, double value) {
        LiveEvent event;
        {
            const auto table = state.sensors.Lock();
            SensorRecord& record = table->SensorArray[static_cast<std::size_t>(index)];
            record.Value = value;
            ++record.NewValueCount;
            event = ProbeEvent(LiveEventKind::kReading, clock.Now(), index, record);
        }
        monitoring.Feed().Publish(event);
    }
    void Publish(LiveEventKind kind) { monitoring.Feed().Publish(StationEvent(kind, clock.Now())); }
    std::string ValueCell(int index) const {
        return resultsTable.rows.at(static_cast<std::size_t>(index)).cells[1];
    }
};

TEST_F(ResultsRowsTest, AReadingRefreshesItsProbesRowOnlyANewAlarmEveryRow) {
    Read(1, 7.3);
    EXPECT_EQ(resultsTable.rowUpdates, 0) << "nothing before the event loop serves the feed";
    rows.Serve();
    EXPECT_EQ(resultsTable.rowUpdates, 1);
    EXPECT_EQ(ValueCell(1), "   7.3\u00B0C");
    EXPECT_EQ(ValueCell(0), "   4.5\u00B0C");
    EXPECT_EQ(state.sensors.Lock()->SensorArray[1].NewValueCount, 0) << "seen";
    EXPECT_FALSE(resultsTable.hidden);

    state.sensors.Lock()->SensorArray[2].AlarmState = kAlarmHigh;
    LiveEvent alarm = ProbeEvent(LiveEventKind::kAlarmChanged, clock.Now(), 2,
                                 state.sensors.Copy().SensorArray[2]);
    alarm.newAlarm = kAlarmHigh;
    monitoring.Feed().Publish(alarm);
    Publish(LiveEventKind::kStored);
    rows.Serve();
    EXPECT_EQ(resultsTable.rowUpdates, 4) << "a new alarm ends every acknowledgement";
    EXPECT_EQ(resultsTable.rows[2].cells[3], "High Alarm");
    EXPECT_EQ(resultsTable.rows[2].background, shell::results_colors::kAlarm);
}

TEST_F(ResultsRowsTest, AnAcknowledgementMarksTheAlarmRowsUntilANewAlarm) {
    state.sensors.Lock()->SensorArray[0].AlarmState = kAlarmHigh;
    state.sensors.Lock()->SensorArray[1].AlarmState = kPreAlarmLow;
    monitoring.Mute("anna", "", shell::Via::kWindow);
    rows.Serve();
    EXPECT_EQ(resultsTable.rows[0].cells[3], "High Alarm (acknowledged)");
    EXPECT_NE(resultsTable.rows[1].cells[3].find("(acknowledged)"), std::string::npos);
    EXPECT_EQ(resultsTable.rows[2].cells[3], "") << "a probe without alarm says nothing";

    state.AlarmUserStatus = 1;  // as the alarm walk does for a new alarm
    state.sensors.Lock()->SensorArray[2].AlarmState = kAlarmLow;
    LiveEvent alarm = ProbeEvent(LiveEventKind::kAlarmChanged, clock.Now(), 2,
                                 state.sensors.Copy().SensorArray[2]);
    alarm.newAlarm = kAlarmLow;
    monitoring.Feed().Publish(alarm);
    rows.Serve();
    EXPECT_EQ(resultsTable.rows[0].cells[3], "High Alarm");
    EXPECT_EQ(resultsTable.rows[2].cells[3].find("(acknowledged)"), std::string::npos);
}

TEST_F(ResultsRowsTest, AReadingOfAProbeThatHasSinceMovedFindsNoRow) {
    Read(2, 9.0);
    // The probe before it is deleted: the reading's slot holds another probe.
    state.sensors.Lock()->DeleteSensorFromDataBase(1);
    rows.Serve();
    EXPECT_EQ(resultsTable.rowUpdates, 0);
}

TEST_F(ResultsRowsTest, TheUnitLostHidesTheTableAndBackShowsEveryRowAgain) {
    state.CommunicationErrorAlarm = 1;
    Publish(LiveEventKind::kNetworkLost);
    rows.Serve();
    EXPECT_TRUE(resultsTable.hidden);
    EXPECT_EQ(resultsTable.rowUpdates, 3);

    state.CommunicationErrorAlarm = 0;
    state.sensors.Lock()->SensorArray[0].Value = 3.0;
    Publish(LiveEventKind::kNetworkBack);
    rows.Serve();
    EXPECT_FALSE(resultsTable.hidden);
    EXPECT_EQ(resultsTable.rowUpdates, 6);
    EXPECT_EQ(ValueCell(0), "   3.0\u00B0C");
}

TEST_F(ResultsRowsTest, AfterDroppedEventsEveryRowIsBuiltAgainAndNoneWithoutATable) {
    // The event loop was held up for longer than the queue holds events.
    for (int i = 0; i < static_cast<int>(LiveFeed::kDefaultCapacity) + 5; ++i) {
        Read(i % 3, 5.0 + i % 3);
    }
    rows.Serve();
    EXPECT_EQ(resultsTable.rowUpdates, 3);
    EXPECT_EQ(ValueCell(2), "   7.0\u00B0C");
    EXPECT_EQ(rows.Events().Dropped(), 5U);

    state.SensorListActive = 0;
    Read(0, 1.0);
    rows.Serve();
    EXPECT_EQ(resultsTable.rowUpdates, 3);
}

}  // namespace
}  // namespace qrv::testing
