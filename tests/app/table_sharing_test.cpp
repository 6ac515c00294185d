// The probe table shared by the user-interface thread and the network
// timer's own thread, through the station's real commands: the editor's save,
// the results rows and the stores, an installation and a Delete All. Run under
// ThreadSanitizer in CI, which reports any field used by both threads at once.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "app/shell/probe_table_commands.h"
#include "app/shell/results_table.h"
#include "live_station.h"
#include "sensors/sensor_file.h"
#include "station/display_timer.h"
#include "station/network_install.h"
#include "station/probe_editing.h"
#include "station/station_events.h"

namespace qrv::testing {
namespace {

using namespace std::chrono_literals;

const char* const kNetwork = R"({"lines": [[
    {"type": "DS18B20", "temperature": 4.0},
    {"type": "DS18B20", "temperature": {"value": 20.0, "steps": [[60, 35.0]]}},
    {"type": "DS2438", "humidity": 55.0, "temperature": 20.0}], [], []]})";

// Each save writes the probe file and its audit lines through to the disk,
// which sets the pace; this many give the two threads ample interleavings.
constexpr int kSaves = 500;

// The longest name a probe can have.
const std::string kLongName = "Walk-in freezer, back store";

// Moves virtual time on, about fifty times faster than real time, while the
// test's thread acts as the user-interface thread.
class TimePump {
  public:
    explicit TimePump(VirtualClock& clock)
        : thread_([&clock](const std::stop_token& stop) {
              while (!stop.stop_requested()) {
                  clock.Advance(0.05);
                  std::this_thread::sleep_for(1ms);
              }
          }) {}

  private:
    std::jthread thread_;
};

class TableSharing : public ::testing::Test, protected LiveStation {
  protected:
    TableSharing() : LiveStation(kNetwork, {2026, 3, 9, 14, 0, 30, 0}, true) {
        AddProbes();
        SystemSettings everyMinute = state.settings;
        everyMinute.KeuzeSampleTime = 1;
        everyMinute.GeneralAlarmEnable = 1;
        state.settingsOwner.Replace(everyMinute);
    }
    ~TableSharing() override { monitoring.DiscardAsyncNetworkTimer(); }

    void AddProbes() {
        AddProbe(1, 0, "Cold room");
        AddProbe(1, 1, "Office");
        AddProbe(1, 2, "Cellar");
    }
    SensorRecord Copy(int index) {
        return state.sensors.Copy().SensorArray[static_cast<std::size_t>(index)];
    }
    int LastIndex() { return state.sensors.Lock()->GetMax1820Index(); }

    // Lets acquisition run on its thread until the unit has seen this many
    // more bytes, or a deadline passes.
    bool AcquisitionMovesOn(std::size_t bytes = 200) {
        const std::size_t from = unit->BytesFromHost();
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (unit->BytesFromHost() < from + bytes) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            std::this_thread::sleep_for(1ms);
        }
        return true;
    }
};

TEST_F(TableSharing, EditorSavesOfLongNamesAndLimitsWhileProbesAreReadAndAlarmsEvaluated) {
    Install();
    const TimePump pump(clock);
    ASSERT_TRUE(AcquisitionMovesOn());
    const std::size_t bytesBefore = unit->BytesFromHost();
    for (int save = 0; save < kSaves; ++save) {
        const std::string name = save % 2 == 0 ? kLongName : "Office";
        const int high = 25 + save % 20;
        probeEditor.QueueOpening({ScriptedProbeEditorView::Type(name),
                                  ScriptedProbeEditorView::Change([high](ProbePanelValues& v) {
                                      v.alarmHigh = high;
                                      v.tripHigh = high;
                                      v.alarmDelayMinutes = 0;
                                  }),
                                  ScriptedProbeEditorView::Press(&ProbeEditor::Leave)});
        dialogs.QueueButton(1);  // save the changes
        ASSERT_EQ(shell::DoeProbeSettingMenu(state, services, 1, false, false), kEditorSaved)
            << "save " << save;
    }
    EXPECT_GT(unit->BytesFromHost(), bytesBefore) << "acquisition went on during the saves";
    const SensorRecord office = Copy(1);
    EXPECT_EQ(office.Name, "Office");
    EXPECT_EQ(office.AlarmHigh, 25 + (kSaves - 1) % 20);
    SensorTable stored;
    ASSERT_GE(ReadSensorFile(state.paths.SnsFileName(kModeNormal), stored), 0);
    EXPECT_EQ(stored.SensorArray[1].Name, "Office");
    EXPECT_EQ(stored.SensorArray[1].AlarmHigh, 25 + (kSaves - 1) % 20);
    // A delay of 0 minutes is held as the shortest one the probe file
    // gives back. With a limit below its reading (about 35 degrees) the
    // probe alarms once that delay has passed.
    EXPECT_EQ(office.AlarmDelay, kMinimumAlarmDelaySeconds);
    EXPECT_EQ(stored.SensorArray[1].AlarmDelay, kMinimumAlarmDelaySeconds);
    probeEditor.QueueOpening({ScriptedProbeEditorView::Change([](ProbePanelValues& v) {
                                  v.alarmHigh = 30;
                                  v.tripHigh = 30;
                              }),
                              ScriptedProbeEditorView::Press(&ProbeEditor::Leave)});
    dialogs.QueueButton(1);
    ASSERT_EQ(shell::DoeProbeSettingMenu(state, services, 1, false, false), kEditorSaved);
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (AlarmText().find("Office") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_NE(AlarmText().find("Office"), std::string::npos);
}

TEST_F(TableSharing, RowRefreshesAndStoresWhileProbesAreRead) {
    Install();
    const double installedAt = clock.Timer();
    const TimePump pump(clock);
    // Past the office's step to 35 degrees and over a few sampling minutes.
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    for (int round = 0; clock.Timer() < installedAt + 150.0; ++round) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline);
        shell::SampleTimer(state, services);
        core.Serve();
        rows.Serve();
        if (round % 10 == 0) {
            shell::AnnounceStoreDue(services, "test");
            shell::InitTheResultsTable(state, resultsTable, display);
        }
        std::this_thread::sleep_for(1ms);
    }
    services.networkTimer.StopNetworkTimer();
    shell::SampleTimer(state, services);
    core.Serve();
    rows.Serve();
    ASSERT_EQ(resultsTable.rows.size(), 3U);
    EXPECT_NE(resultsTable.rows[1].cells[0].find("Office"), std::string::npos);
    EXPECT_EQ(resultsTable.rows[1].cells[1].substr(0, 5), "  35.");
    // Every block is a whole block of the three probes.
    const std::string day = DayFile(clock.Now());
    int blocks = 0;
    for (auto at = day.find("  000"); at != std::string::npos; at = day.find("  000", at + 1)) {
        EXPECT_EQ(day.substr(at, 8), "  0003\r\n");
        ++blocks;
    }
    // One block a minute at most, however often a store was asked for.
    EXPECT_GE(blocks, 3);
    EXPECT_LE(blocks, 4);
}

TEST_F(TableSharing, InstallationsAndDeleteAllWhileAcquisitionIsBeingStopped) {
    Install();
    const TimePump pump(clock);
    for (int round = 0; round < 5; ++round) {
        ASSERT_TRUE(AcquisitionMovesOn()) << "round " << round;
        {
            ScriptedDialogs quiet;
            ASSERT_EQ(WriteSensorFile(state.paths.SnsFileName(kModeNormal), state.sensors.Copy(),
                                      clock, quiet, log, 0),
                      0);
        }
        shell::DoeInstallNetwork(state, services);
        ASSERT_EQ(state.NetWorkInstalled, 1);
        ASSERT_EQ(LastIndex(), 2);
        ASSERT_TRUE(AcquisitionMovesOn()) << "round " << round;

        dialogs.QueueButton(1);  // yes, delete them all
        shell::DeleteAllProbes(state, services);
        EXPECT_EQ(LastIndex(), -1);
        EXPECT_EQ(state.NetWorkInstalled, 0);
        const std::size_t bytes = unit->BytesFromHost();
        const double stoppedAt = clock.Timer();
        while (clock.Timer() < stoppedAt + 3.0) {
            std::this_thread::sleep_for(1ms);
        }
        EXPECT_EQ(unit->BytesFromHost(), bytes) << "nothing is read once stopped";

        AddProbes();
        Install();
    }
    EXPECT_EQ(dialogs.UnexpectedPopups(), 0);
}

}  // namespace
}  // namespace qrv::testing
