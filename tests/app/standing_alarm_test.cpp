// A standing alarm across the menu commands that reinstall the network, and
// the alarm-file line of every alarm that ends for another reason than its
// value.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <optional>
#include <thread>

#include "app/shell/commands.h"
#include "live_station.h"
#include "runtime/date_strings.h"
#include "sensors/sensor_file.h"
#include "station/display_timer.h"
#include "support/popup_answers.h"

namespace qrv::testing {
namespace {

using shell::MenuCommand;

constexpr int kOffice = 1;
constexpr int kContinue = 1;
constexpr int kStop = 2;
constexpr int kOff = 2;

class StandingAlarm : public ::testing::Test, protected LiveStation {
  protected:
    StandingAlarm() : LiveStation(kThreeProbeNetwork, {2026, 3, 9, 14, 0, 30, 0}) {
        AddProbe(1, 0, "Cold room");
        AddProbe(1, 1, "Office");
        AddProbe(1, 2, "Door");
        Probe(kOffice).TripHigh = 25;
        Probe(kOffice).AlarmHigh = 30;
        WriteTheSensorFile();
        Install();
        RunFor(400.0);
    }
    void SetUp() override {
        ASSERT_EQ(Probe(kOffice).AlarmState, kAlarmHigh);
        ASSERT_EQ(Count(AlarmText(), "High Alarm:  Office"), 1);
    }
    void WriteTheSensorFile() {
        ScriptedDialogs quiet;
        EXPECT_EQ(WriteSensorFile(state.paths.SnsFileName(kModeNormal), state.sensors.Copy(), clock,
                                  quiet, log, 0),
                  0);
    }
    void Command(MenuCommand command) {
        shell::ExecuteMenuCommand(state, services, view, command, 0);
    }
    void ExpectTheAlarmStillStands() {
        EXPECT_EQ(Probe(kOffice).AlarmState, kAlarmHigh);
        EXPECT_EQ(Probe(kOffice).AlarmDelayCount, Probe(kOffice).AlarmDelay);
        EXPECT_EQ(state.NetWorkInstalled, 1);
        RunFor(60.0);
        EXPECT_EQ(Probe(kOffice).AlarmState, kAlarmHigh);
        EXPECT_EQ(state.SensorAlarm, 1);
        EXPECT_TRUE(display.Snapshot().alarmBannerShown);
        EXPECT_EQ(resultsTable.rows.at(kOffice).cells[3], "High Alarm");
        const std::string alarms = AlarmText();
        EXPECT_EQ(Count(alarms, "High Alarm:  Office"), 1) << alarms;
        EXPECT_EQ(Count(alarms, "Value OK:"), 0) << alarms;
        EXPECT_EQ(Count(alarms, "Alarm cleared"), 0) << alarms;
        EXPECT_EQ(dialogs.UnexpectedPopups(), 0);
    }
    sim::Rom OfficeRom() {
        int seen = 0;
        for (const auto& [line, device] : unit->Devices()) {
            if (line == 1 && seen++ == kOffice) {
                return device->GetRom();
            }
        }
        ADD_FAILURE() << "no office probe";
        return {};
    }
};

TEST_F(StandingAlarm, SurvivesInitialize) {
    Command(MenuCommand::InstallNetwork);
    ExpectTheAlarmStillStands();
}

TEST_F(StandingAlarm, SurvivesSaveAs) {
    dialogs.QueueButton(kYes);
    dialogs.QueueText((dir / "saved.qrd").string());
    Command(MenuCommand::SaveFileAs);
    ASSERT_TRUE(std::filesystem::exists(dir / "saved.qrd"));
    ExpectTheAlarmStillStands();
}

TEST_F(StandingAlarm, SurvivesIdentify) {
    for (int answer : {kContinue, kContinue, kStop}) {
        dialogs.QueueButton(answer);
    }
    Command(MenuCommand::IdentifyProbes);
    ASSERT_EQ(dialogs.PendingAnswers(), 0U);
    ExpectTheAlarmStillStands();
}

TEST_F(StandingAlarm, SurvivesChangeOfActivity) {
    dialogs.QueueButton(kYes);
    Command(MenuCommand::SetAllActive);
    ASSERT_EQ(dialogs.PendingAnswers(), 0U);
    ExpectTheAlarmStillStands();
}

TEST_F(StandingAlarm, ARunningDelayGoesOnCountingAcrossAnInstallation) {
    // Cold room above its pre-alarm limit: its two-minute delay runs.
    Probe(0).TripHigh = 2;
    WriteTheSensorFile();
    RunFor(60.0);
    const int counted = Probe(0).TripDelayCount;
    ASSERT_GT(counted, 0);
    Command(MenuCommand::InstallNetwork);
    EXPECT_EQ(Probe(0).TripDelayCount, counted + 2) << "one evaluation as acquisition resumed";
}

TEST_F(StandingAlarm, AProbeNotFoundAgainIsWrittenOff) {
    ASSERT_TRUE(unit->DisconnectDevice(OfficeRom()));
    dialogs.QueueButton(kOff);
    Command(MenuCommand::InstallNetwork);
    ASSERT_EQ(dialogs.PendingAnswers(), 0U);
    EXPECT_EQ(Probe(kOffice).AlarmState, kAlarmNone);
    RunFor(10.0);
    const std::string alarms = AlarmText();
    EXPECT_EQ(Count(alarms, ": Alarm cleared, probe not found:  Office\r\n"), 1) << alarms;
    EXPECT_EQ(Count(alarms, "Value OK:"), 0) << alarms;
}

TEST_F(StandingAlarm, DeleteAllWritesTheAlarmOff) {
    dialogs.QueueButton(kYes);
    Command(MenuCommand::DeleteAllProbes);
    EXPECT_EQ(state.sensors.Lock()->GetMax1820Index(), -1);
    EXPECT_EQ(Count(AlarmText(), ": Alarm cleared, probes deleted:  Office\r\n"), 1);
    EXPECT_EQ(Count(AlarmText(), "Alarm cleared"), 1) << "only the probe in alarm";
}

TEST_F(StandingAlarm, StoppingTheNetworkWritesTheAlarmOff) {
    dialogs.QueueButton(kYes);
    Command(MenuCommand::StopNetwork);
    EXPECT_EQ(state.NetWorkInstalled, 0);
    EXPECT_EQ(Count(AlarmText(), ": Alarm cleared, network stopped:  Office\r\n"), 1);
}

TEST_F(StandingAlarm, DisablingAlarmsWritesTheAlarmOffOnce) {
    dialogs.QueueButton(kYes);
    Command(MenuCommand::DisableAlarm);
    RunFor(30.0);
    EXPECT_EQ(Probe(kOffice).AlarmState, kAlarmNone);
    EXPECT_EQ(Count(AlarmText(), ": Alarm cleared, alarms disabled:  Office\r\n"), 1);
    EXPECT_EQ(Count(AlarmText(), "Alarm cleared"), 1);
}

TEST_F(StandingAlarm, AnInterfaceAlarmClearedByAnInstallationIsClosedInTheFile) {
    unit->AddFault({sim::FaultKind::kUnplugged, {}, 0, clock.Timer(), clock.Timer() + 30.0});
    RunFor(20.0);
    ASSERT_EQ(state.CommunicationErrorAlarm, 1);
    clock.Advance(15.0);
    Command(MenuCommand::InstallNetwork);
    EXPECT_EQ(state.CommunicationErrorAlarm, 0);
    EXPECT_EQ(Count(AlarmText(), "Alarm: network lost"), 1);
    EXPECT_EQ(Count(AlarmText(), "Network comm-alarm ended."), 1);
    RunFor(20.0);
    EXPECT_EQ(Count(AlarmText(), "Network comm-alarm ended."), 1);
}

// The bus steps of an installation on a thread of their own while this
// thread goes on with the display timer, as the window's event loop does
// (ThreadSanitizer checks that the two never touch the same state).
TEST_F(StandingAlarm, AnInstallationWithItsBusStepsBesideTheDisplayTimer) {
    int steps = 0;
    std::string shownTime;
    int timesShown = 0;
    const shell::BackgroundBusWork background(
        [&](const std::function<bool()>& finished) {
            ++steps;
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (!finished()) {
                ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "a bus step hangs";
                const std::string now = TimeText(clock.Now());
                if (now != shownTime) {
                    shownTime = now;
                    shell::SampleTimer(state, services);
                    EXPECT_EQ(state.DisplayTimerEnable, 0) << "only the clock goes on";
                    ++timesShown;
                }
                std::this_thread::yield();
            }
        },
        [&](bool on) { session.SetGivingUp(on); });
    const shell::ShellServices threaded{clock,       dialogs,    display,   log,
                                        editor,      ports,      session,   monitoring,
                                        probeEditor, monitoring, background};
    shell::ExecuteMenuCommand(state, threaded, view, MenuCommand::InstallNetwork, 0);
    EXPECT_EQ(state.NetWorkInstalled, 1);
    EXPECT_GE(steps, 3) << "start, blinks, scan, session restart";
    EXPECT_GE(timesShown, 1) << "the clock ran during the installation";
    EXPECT_EQ(display.Snapshot().dateTime.substr(13), shownTime);
    ExpectTheAlarmStillStands();
}

// Holds the simulated unit from another thread, so that the bus stands still
// at its next exchange until Release(): a step on the bus is then caught at a
// known point however the threads are scheduled.
class UnitHold {
  public:
    explicit UnitHold(sim::SimulatedNodex& unit)
        : holder_([&unit, held = std::move(heldPromise_),
                   release = releasePromise_.get_future()]() mutable {
              unit.WithLock([&](sim::SimulatedNodex&) {
                  held.set_value();
                  release.wait();
              });
          }) {}
    UnitHold(const UnitHold&) = delete;
    UnitHold& operator=(const UnitHold&) = delete;
    ~UnitHold() {
        Release();
        holder_.join();
    }
    bool Held() { return held_.wait_for(std::chrono::seconds(30)) == std::future_status::ready; }
    void Release() {
        if (!released_) {
            released_ = true;
            releasePromise_.set_value();
        }
    }

  private:
    std::promise<void> heldPromise_;
    std::future<void> held_ = heldPromise_.get_future();
    std::promise<void> releasePromise_;
    bool released_ = false;
    std::thread holder_;
};

// A quit (a signal) while the scan runs, as the window's event loop meets it:
// the loop returns before the step has ended, the scan gives up at its next
// probe and the installation ends unfinished, writing nothing of it. The unit
// is held from the end of the lamps' step until the scan has been told to
// give up, so the scan cannot reach a probe first.
TEST_F(StandingAlarm, AQuitDuringTheScanEndsTheInstallationUnfinishedAtItsNextProbe) {
    const std::string sensorFile = ReadBytes(state.paths.SnsFileName(kModeNormal));
    int steps = 0;
    std::vector<bool> givingUp;
    std::optional<UnitHold> hold;
    const shell::BackgroundBusWork background(
        [&](const std::function<bool()>& finished) {
            ++steps;
            if (steps < 3) {  // the start of the network and the lamps
                while (!finished()) {
                    std::this_thread::yield();
                }
                if (steps == 2) {
                    hold.emplace(*unit);
                    ASSERT_TRUE(hold->Held()) << "the unit could not be held";
                }
                return;
            }
            state.shutdownRequested = true;
        },
        [&](bool on) {
            givingUp.push_back(on);
            session.SetGivingUp(on);
            if (on && hold) {
                hold->Release();
            }
        });
    const shell::ShellServices threaded{clock,       dialogs,    display,   log,
                                        editor,      ports,      session,   monitoring,
                                        probeEditor, monitoring, background};
    shell::ExecuteMenuCommand(state, threaded, view, MenuCommand::InstallNetwork, 0);

    EXPECT_EQ(steps, 3) << "no step after the scan";
    EXPECT_EQ(givingUp, (std::vector<bool>{true, false}));
    EXPECT_FALSE(session.GivingUp()) << "the shutdown still reaches the unit";
    EXPECT_EQ(state.NetWorkInstalled, 0);
    const auto table = state.sensors.Copy();
    for (int index = 0; index <= table.GetMax1820Index(); ++index) {
        EXPECT_EQ(table.SensorArray[static_cast<std::size_t>(index)].FoundOnNetwork, 0)
            << "the scan gave up before its first probe";
    }
    EXPECT_EQ(ReadBytes(state.paths.SnsFileName(kModeNormal)), sensorFile);
    EXPECT_EQ(dialogs.UnexpectedPopups(), 0) << "no question about missing probes";
}

}  // namespace
}  // namespace qrv::testing
