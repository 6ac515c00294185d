// The station's live side through its shell: stores, rows, the watchdog,
// stopping the network, the alarm and SMS commands, shutdown. Hand-offs run
// on the SMS thread, so this is also run under ThreadSanitizer in CI.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <utility>

#include "acquisition/sms_handoff.h"
#include "app/shell/commands.h"
#include "app/shell/menu_items.h"
#include "app/shell/monitoring_commands.h"
#include "live_station.h"
#include "runtime/text_file.h"
#include "settings/settings_file.h"
#include "station/startup.h"

namespace qrv::testing {
namespace {

using namespace std::chrono_literals;
using shell::MenuCommand;

class LiveStationTest : public ::testing::Test, protected LiveStation {
  protected:
    LiveStationTest() : LiveStation(kThreeProbeNetwork, {2026, 3, 9, 14, 0, 30, 0}) {
        AddProbe(1, 0, "Cold room");
        AddProbe(1, 1, "Office");
        AddProbe(1, 2, "Door");
    }
    void Command(MenuCommand command) {
        shell::ExecuteMenuCommand(state, services, view, command, 0);
    }
};

TEST_F(LiveStationTest, EveryDueMinuteIsStoredOnceAndRowsFollowTheReadings) {
    SystemSettings everyMinute = state.settings;
    everyMinute.KeuzeSampleTime = 1;
    state.settingsOwner.Replace(everyMinute);
    Install();
    RunFor(5 * 60.0);
    const std::string day = DayFile(clock.Now());
    // The installation's store at 14:00 and one block for each minute after.
    for (const char* minute : {"14:00  0003", "14:01  0003", "14:02  0003", "14:03  0003",
                               "14:04  0003", "14:05  0003"}) {
        EXPECT_EQ(Count(day, minute), 1) << minute;
    }
    EXPECT_EQ(Count(day, "  0003\r\n"), 6);
    EXPECT_EQ(resultsTable.rows.size(), 3U);
    EXPECT_EQ(resultsTable.rows[1].cells[1].substr(0, 5), "  35.");
    EXPECT_EQ(resultsTable.rows[2].cells[1], " Open  ");
    EXPECT_GT(resultsTable.rowUpdates, 3 * 20);
    EXPECT_EQ(Count(LogText(), "Netwerk time-out error"), 0);
}

// The network timer finds the sampling minute and says so on the feed; the
// store is the station's answer to that event on its own thread, whenever it
// gets to it, and a burst of due stores is one block.
TEST_F(LiveStationTest, AStoreIsMadeWhenTheStationTakesItsDueEventNotByATimer) {
    SystemSettings everyTwoMinutes = state.settings;
    everyTwoMinutes.KeuzeSampleTime = 2;
    state.settingsOwner.Replace(everyTwoMinutes);
    Install();
    core.Serve();
    ASSERT_EQ(Count(DayFile(clock.Now()), "14:00  0003"), 1) << "the installation's block";
    FeedSubscription events = monitoring.Feed().Subscribe();
    const auto dueAndStored = [&events] {
        std::pair<int, int> counts;
        for (const LiveEvent& event : events.Drain().events) {
            counts.first += event.kind == LiveEventKind::kStoreDue ? 1 : 0;
            counts.second += event.kind == LiveEventKind::kStored ? 1 : 0;
        }
        return counts;
    };
    // Network ticks and display ticks for five minutes, the station's own
    // events left unserved: the sampling minutes come due and nothing is stored.
    const double end = clock.Timer() + 5 * 60.0;
    while (clock.Timer() < end) {
        clock.Advance(std::max(0.0, std::min(timers.NextDeadline(), end) - clock.Timer()));
        timers.RunDue();
        shell::SampleTimer(state, services);
    }
    EXPECT_EQ(dueAndStored(), std::make_pair(2, 0)) << "14:02 and 14:04 came due";
    EXPECT_EQ(Count(DayFile(clock.Now()), "  0003\r\n"), 1);

    core.Serve();
    EXPECT_EQ(dueAndStored(), std::make_pair(0, 1)) << "two due stores taken together are one";
    EXPECT_EQ(Count(DayFile(clock.Now()), "  0003\r\n"), 2);
    core.Serve();
    EXPECT_EQ(dueAndStored(), std::make_pair(0, 0));

    // Served as it comes, each sampling minute is its own block.
    RunFor(4 * 60.0);
    EXPECT_EQ(Count(DayFile(clock.Now()), "14:07  0003"), 0) << "not a sampling minute";
    EXPECT_EQ(Count(DayFile(clock.Now()), "14:06  0003"), 1);
    EXPECT_EQ(Count(DayFile(clock.Now()), "14:08  0003"), 1);
}

TEST_F(LiveStationTest, TheWatchdogStaysQuietWhilePausedAndSpeaksOnARealStall) {
    // No network installed: the timer ticks paused and keeps the watchdog at 0.
    RunFor(10 * 60.0);
    EXPECT_EQ(Count(LogText(), "Netwerk time-out error"), 0);

    monitoring.DiscardAsyncNetworkTimer();  // the timer thread stalls
    state.AsyncWatchdogTimer = 0;           // right after its last tick
    RunFor(300.0);
    EXPECT_EQ(Count(LogText(), "Netwerk time-out error"), 0);
    RunFor(3.0);
    EXPECT_EQ(Count(LogText(), "Netwerk time-out error"), 3);
}

TEST_F(LiveStationTest, AnAlarmRaisesBannerFileLineAndSmsWhileMonitoringGoesOn) {
    Probe(1).AlarmHigh = 30;
    Probe(1).AlarmDelay = 10;
    Probe(1).SmsEnable = 1;
    Probe(1).RelayEnable = 1;
    ConfigureSms();
    launcher.SetRunSeconds(30.0);
    Install();
    RunFor(150.0);
    EXPECT_EQ(Probe(1).AlarmState, kAlarmHigh);
    EXPECT_TRUE(display.Snapshot().alarmBannerShown);
    EXPECT_EQ(display.Snapshot().alarmBannerText, "Alarm on one or more probes!");
    EXPECT_GE(display.Snapshot().beeps, 1);
    EXPECT_TRUE(unit->RelayOn());
    EXPECT_TRUE(unit->RedLampOn());
    EXPECT_EQ(Count(AlarmText(), ": High Alarm:  Office    35."), 1);
    EXPECT_EQ(resultsTable.rows[1].cells[3], "High Alarm");
    FinishHandOffs();
    ASSERT_EQ(launcher.Launched().size(), 1U);
    EXPECT_EQ(launcher.Launched()[0][3], "MESSAGE:");
    EXPECT_EQ(Count(LogText(), ": OK:    SMS was send."), 1);

    // The user mutes: no beep, the relay drops, the banner stays.
    dialogs.QueueText("");
    shell::AlarmButton(state, services, 0);
    const int beeps = display.Snapshot().beeps;
    RunFor(10.0);
    EXPECT_EQ(display.Snapshot().beeps, beeps);
    EXPECT_FALSE(unit->RelayOn());
    EXPECT_TRUE(display.Snapshot().alarmBannerShown);
}

TEST_F(LiveStationTest, ANetworkRenamedWhileMonitoringIsNamedByTheNextAlarmSms) {
    Probe(1).AlarmHigh = 30;
    Probe(1).AlarmDelay = 10;
    Probe(1).SmsEnable = 1;
    ConfigureSms();
    launcher.SetRunSeconds(30.0);
    Install();
    dialogs.QueueText("Cold store B");
    shell::ExecuteMenuCommand(state, services, view, shell::MenuCommand::EditNetworkName, 0);
    RunFor(150.0);
    FinishHandOffs();
    ASSERT_EQ(launcher.Launched().size(), 1U);
    const std::vector<std::string> argv = launcher.Launched()[0];
    ASSERT_GE(argv.size(), 3U);
    EXPECT_EQ(std::vector<std::string>(argv.end() - 3, argv.end()),
              (std::vector<std::string>{"Cold", "store", "B"}))
        << "without a restart or a reinstallation";
}

TEST_F(LiveStationTest, AnUnpluggedUnitHidesTheTableUntilItAnswersAgain) {
    Install();
    RunFor(20.0);
    unit->AddFault({sim::FaultKind::kUnplugged, {}, 0, clock.Timer(), clock.Timer() + 30.0});
    RunFor(20.0);
    EXPECT_TRUE(resultsTable.hidden);
    EXPECT_EQ(display.Snapshot().alarmBannerText,
              "Alarm: No communication with the QUORVANEL Network Interface.");
    EXPECT_EQ(display.Snapshot().statusLine, "") << "no probe is being read";
    RunFor(30.0);
    EXPECT_FALSE(resultsTable.hidden);
    EXPECT_FALSE(display.Snapshot().alarmBannerShown);
    EXPECT_EQ(Count(AlarmText(), "Alarm: network lost"), 1);
    EXPECT_EQ(Count(AlarmText(), "Network comm-alarm ended."), 1);
}

// The probe lines of the block stored at a minute ("14:02").
std::string BlockAt(const std::string& day, const std::string& minute) {
    const auto start = day.find("\r\n" + minute + "  0");
    if (start == std::string::npos) {
        return {};
    }
    const int count = std::stoi(day.substr(start + 2 + minute.size() + 2, 4));
    auto end = day.find("\r\n", start + 2) + 2;
    const auto first = end;
    for (int line = 0; line < count; ++line) {
        end = day.find("\r\n", end) + 2;
    }
    return day.substr(first, end - first);
}

class StoredValues : public LiveStationTest {
  protected:
    StoredValues() {
        SystemSettings everyMinute = state.settings;
        everyMinute.KeuzeSampleTime = 1;
        state.settingsOwner.Replace(everyMinute);
        Install();
        RunFor(60.0);
    }
};

TEST_F(StoredValues, BlocksStoredWhileTheUnitIsLostCarryTheNoReadingMarker) {
    unit->AddFault({sim::FaultKind::kUnplugged, {}, 0, clock.Timer(), clock.Timer() + 120.0});
    RunFor(180.0);
    const std::string day = DayFile(clock.Now());
    EXPECT_EQ(Count(BlockAt(day, "14:01"), "-300.0"), 0) << day;
    for (const char* minute : {"14:02", "14:03"}) {
        EXPECT_EQ(Count(BlockAt(day, minute), "  -300.0  "), 3) << minute << "\n" << day;
    }
    // The unit answered again at 14:03:30: every probe has been read since.
    const std::string after = BlockAt(day, "14:04");
    EXPECT_EQ(Count(after, "-300.0"), 0) << day;
    EXPECT_EQ(Count(after, "     4.0  Cold room"), 1) << after;
}

TEST_F(StoredValues, AProbeThatStopsAnsweringIsStoredAsNoReading) {
    sim::Rom office{};
    int seen = 0;
    for (const auto& [line, device] : unit->Devices()) {
        if (line == 1 && seen++ == 1) {
            office = device->GetRom();
        }
    }
    ASSERT_TRUE(unit->DisconnectDevice(office));
    RunFor(60.0);
    const std::string block = BlockAt(DayFile(clock.Now()), "14:02");
    EXPECT_EQ(Count(block, "  -300.0  Office"), 1) << block;
    EXPECT_EQ(Count(block, "-300.0"), 1) << "the others were read in time: " << block;
}

TEST(YearMenus, ListTheFirstFileOfANewStationAndOfEachNewYear) {
    LiveStation station(kThreeProbeNetwork, {2026, 12, 31, 23, 58, 30, 0});
    station.AddProbe(1, 0, "Cold room");
    shell::AddYearsAsSubMenuItems(station.state, station.clock, station.view);
    EXPECT_TRUE(station.view.years.empty()) << "a new station has no results";
    station.Install();
    station.RunFor(5.0);
    EXPECT_EQ(station.view.years, (std::vector<int>{2026}));
    station.RunFor(120.0);
    EXPECT_EQ(station.view.years, (std::vector<int>{2026, 2027}));
}

TEST_F(LiveStationTest, StoppingTheNetworkStoresTheLastBlockAndEndsEverything) {
    Probe(1).AlarmHigh = 0;
    Probe(1).AlarmDelay = 0;
    Install();
    RunFor(20.0);
    ASSERT_EQ(state.SensorAlarm, 1);
    dialogs.QueueButton(2);
    Command(MenuCommand::StopNetwork);
    EXPECT_EQ(state.NetWorkInstalled, 1);

    clock.Advance(60.0);
    dialogs.QueueButton(1);
    Command(MenuCommand::StopNetwork);
    EXPECT_EQ(state.NetWorkInstalled, 0);
    EXPECT_EQ(Count(DayFile(clock.Now()), "  0003\r\n"), 2);
    EXPECT_EQ(state.SensorAlarm, 0);
    EXPECT_EQ(Probe(1).AlarmState, kAlarmNone);
    EXPECT_TRUE(display.Snapshot().logoShown);
    EXPECT_FALSE(display.Snapshot().alarmBannerShown);
    EXPECT_EQ(session.Handle(), 0);
    EXPECT_NE(LogText().find(": User stop network"), std::string::npos);
    const auto bytes = unit->BytesFromHost();
    RunFor(30.0);
    EXPECT_EQ(unit->BytesFromHost(), bytes);
    EXPECT_EQ(Count(LogText(), "Netwerk time-out error"), 0);
    EXPECT_TRUE(
        shell::IsDimmed(MenuCommand::StopNetwork, shell::CurrentMenuInputs(state, monitoring)));
}

TEST_F(LiveStationTest, TheLastBlockIsNotStoredTwiceInOneMinute) {
    Install();
    RunFor(10.0);  // the installation's block is stored at 14:00
    dialogs.QueueButton(1);
    Command(MenuCommand::StopNetwork);
    EXPECT_EQ(Count(DayFile(clock.Now()), "  0003\r\n"), 1);
    EXPECT_EQ(Count(DayFile(clock.Now()), "14:00  0003"), 1);
}

TEST_F(LiveStationTest, TheRelayTestAsksFirstAndNeedsANetwork) {
    Command(MenuCommand::TestAlarmRelay);
    ASSERT_EQ(dialogs.Popups().size(), 1U);
    EXPECT_EQ(dialogs.Popups()[0].message, "The network is inactive.");
    EXPECT_EQ(display.Snapshot().beeps, 1);

    Install();
    dialogs.QueueButton(2);  // Stop
    Command(MenuCommand::TestAlarmRelay);
    EXPECT_EQ(dialogs.Popups().back().buttons, (std::vector<std::string>{"__Continue", "__Stop"}));
    dialogs.QueueButton(1);
    const double before = clock.Timer();
    Command(MenuCommand::TestAlarmRelay);
    EXPECT_LT(clock.Timer() - before, 0.5) << "the command returns while the relay is on";
    EXPECT_TRUE(unit->RelayOn());
    EXPECT_TRUE(
        shell::IsDimmed(MenuCommand::TestAlarmRelay, shell::CurrentMenuInputs(state, monitoring)));
    RunFor(6.0);
    EXPECT_FALSE(
        shell::IsDimmed(MenuCommand::TestAlarmRelay, shell::CurrentMenuInputs(state, monitoring)));
    int relaySwitches = 0;
    for (const auto& event : unit->OutputHistory()) {
        relaySwitches += event.output == sim::UnitOutput::kRelay && event.time > before ? 1 : 0;
    }
    EXPECT_EQ(relaySwitches, 2);
    EXPECT_FALSE(unit->RelayOn());
    EXPECT_EQ(state.NetworkAsyncTimerEnabled, 1);
    EXPECT_EQ(dialogs.UnexpectedPopups(), 0);
}

TEST_F(LiveStationTest, TheSmsSettingsAreCheckedAndStored) {
    EXPECT_TRUE(
        shell::IsDimmed(MenuCommand::SendTestMessage, shell::CurrentMenuInputs(state, monitoring)));
    dialogs.QueueText(std::nullopt);
    Command(MenuCommand::LinkSmsCentre);
    WriteBytes(dir / "sms-program", "");
    dialogs.QueueText((dir / "missing").string());
    Command(MenuCommand::LinkSmsCentre);
    EXPECT_EQ(state.settings.SmSProgramSource, "---");
    dialogs.QueueText((dir / "sms-program").string());
    Command(MenuCommand::LinkSmsCentre);
    EXPECT_EQ(state.settings.SmSProgramSource, (dir / "sms-program").string());

    dialogs.QueueText("   ");
    Command(MenuCommand::SetSmsPhoneName);
    EXPECT_EQ(dialogs.Popups().back().message, "Bad syntax.");
    dialogs.QueueText("Kees de Vries");
    Command(MenuCommand::SetSmsPhoneName);
    EXPECT_EQ(state.settings.SmSDestination, "---") << "never cut to a name it was not given";
    EXPECT_TRUE(dialogs.Popups().back().message.starts_with("\"Kees de Vries\" was not saved"));
    dialogs.QueueText("Kees");
    Command(MenuCommand::SetSmsPhoneName);
    EXPECT_EQ(state.settings.SmSDestination, "Kees");
    EXPECT_EQ(state.settingsOwner.Snapshot().SmSDestination, "Kees");
    SystemSettings stored;
    ReadIniFile(state.paths.IniFileName(), stored);
    EXPECT_EQ(stored.SmSDestination, "Kees");
    EXPECT_FALSE(
        shell::IsDimmed(MenuCommand::SendTestMessage, shell::CurrentMenuInputs(state, monitoring)));
    EXPECT_EQ(dialogs.UnexpectedPopups(), 0);
}

TEST_F(LiveStationTest, ATestMessageReportsItsResultWhenTheProgramHasRun) {
    ConfigureSms();
    launcher.SetRunSeconds(3.0);
    dialogs.QueueText("");
    Command(MenuCommand::SendTestMessage);
    EXPECT_EQ(dialogs.Popups().back().message, "Bad syntax.");
    dialogs.QueueText("all well");
    Command(MenuCommand::SendTestMessage);
    FinishHandOffs();
    EXPECT_EQ(dialogs.Popups().back().message, "WARNING:    SMS Centre finished too fast.");
    ASSERT_EQ(launcher.Launched().size(), 1U);
    EXPECT_EQ(launcher.Launched()[0],
              (std::vector<std::string>{(dir / "sms-program").string(), "Kees", "QUORVANEL",
                                        "MESSAGE:", "all", "well\n", "09/03/2026,", "14:00:30,",
                                        "QRV-Data"}));
    EXPECT_EQ(Count(LogText(), ": WARNING: SMS Centre finished too fast."), 1);

    // The program gone between the menu's check and the hand-off.
    std::filesystem::remove(dir / "sms-program");
    EXPECT_TRUE(
        shell::IsDimmed(MenuCommand::SendTestMessage, shell::CurrentMenuInputs(state, monitoring)));
    dialogs.QueueText("again");
    shell::SendTestMessage(state, services);
    FinishHandOffs();
    EXPECT_EQ(dialogs.Popups().back().message, "ERROR:   SMS programme not found.");
    EXPECT_EQ(Count(LogText(), ": ERROR: SMS Centre not found."), 1);
}

TEST_F(LiveStationTest, ShutdownStoresTheLastBlockAndEndsAHangingHandOff) {
    Probe(1).AlarmHigh = 0;
    Probe(1).AlarmDelay = 0;
    Probe(1).SmsEnable = 1;
    ConfigureSms();
    launcher.SetRunSeconds(acquisition::kSmsLastPoll * 10.0);
    Install();
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (launcher.Launched().empty() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
    }
    RunFor(30.0);
    shell::QuitOnSignal(state, services, "SIGTERM");
    EXPECT_TRUE(state.shutdownRequested);
    EXPECT_EQ(shell::RunShutdown(state, services), 0);
    EXPECT_EQ(Count(DayFile(clock.Now()), "  0003\r\n"), 2);
    EXPECT_NE(LogText().find(": Shutdown on SIGTERM"), std::string::npos);
    EXPECT_EQ(Count(LogText(), ": ERROR: SMS Centre terminated at shutdown."), 1);
    EXPECT_EQ(launcher.Terminated(), 1);
    EXPECT_EQ(session.Handle(), 0);
}

// A shutdown drops the reading under way instead of sitting out its
// conversion, and cuts the unit's power without waiting for its supply:
// none of its time goes to waits on the clock, and the last block is stored.
TEST(LiveStationShutdown, ASigtermDuringAConversionWaitsNeitherForItNorForThePowerToSettle) {
    LiveStation station(kThreeProbeNetwork, {2026, 3, 9, 14, 0, 30, 0}, true);
    station.AddProbe(1, 0, "Cold room");
    station.AddProbe(1, 1, "Office");
    station.AddProbe(1, 2, "Door");
    station.Install();
    station.sessionClock.Hold();
    std::atomic<bool> pumping{true};
    std::thread pump([&] {
        while (pumping) {
            station.clock.Advance(0.05);
            std::this_thread::sleep_for(1ms);
        }
    });
    const bool reading = station.sessionClock.WaitForAHeldWait(10s);
    pumping = false;
    pump.join();
    ASSERT_TRUE(reading) << "no reading started";

    const double signalled = station.clock.Timer();
    std::atomic<bool> ended{false};
    int exitCode = -1;
    std::thread shutdown([&] {
        shell::QuitOnSignal(station.state, station.services, "SIGTERM");
        exitCode = shell::RunShutdown(station.state, station.services);
        ended = true;
    });
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!ended && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
    }
    const bool endedDuringTheReading = ended;
    // A shutdown that waits for the reading would wait for ever here.
    station.sessionClock.Release();
    shutdown.join();
    EXPECT_TRUE(endedDuringTheReading) << "the shutdown waited for the reading under way";
    EXPECT_EQ(exitCode, 0);
    // The session's end and the port's close exchange a few bytes; a
    // conversion (0.9 s) or a settling of the supply (0.5 s) is more.
    EXPECT_LT(station.clock.Timer() - signalled, 0.25);
    EXPECT_FALSE(station.unit->Cts(station.clock.Timer())) << "the unit is still powered";
    EXPECT_EQ(Count(station.DayFile(station.clock.Now()), "  0003\r\n"), 1)
        << "the last block was not stored";
}

// With hourly stores the alarm windows still change with the date at midnight:
// the window of the day being evaluated applies, whatever the stores do.
TEST(LiveStationMidnight, TheNewDaysAlarmWindowAppliesFromMidnightWithHourlyStores) {
    LiveStation station(kThreeProbeNetwork, {2026, 3, 9, 23, 57, 30, 0});  // a Monday
    station.AddProbe(1, 0, "Cold room");
    SensorRecord& cold = station.Probe(0);
    cold.AlarmHigh = 0;
    cold.AlarmDelay = 0;
    cold.AlarmTimes[1] = {4, 96};  // Tuesday from 01:00
    SystemSettings hourly = station.state.settings;
    hourly.KeuzeSampleTime = 60;
    station.state.settingsOwner.Replace(hourly);
    station.Install();
    station.RunFor(60.0);
    ASSERT_EQ(station.Probe(0).AlarmState, kAlarmHigh);
    ASSERT_EQ(Count(station.AlarmText(), "2026-03-09 23:57: High Alarm"), 1);

    station.RunFor(2 * 60.0 + 3.0);  // 00:00:33
    EXPECT_EQ(station.Probe(0).AlarmState, kAlarmNone);
    EXPECT_EQ(Count(station.AlarmText(), "2026-03-10 00:00: Value OK:  Cold room"), 1);
    station.RunFor(5 * 60.0);
    EXPECT_EQ(station.Probe(0).AlarmState, kAlarmNone);
    EXPECT_EQ(Count(station.AlarmText(), "2026-03-10 00:"), 1);
    EXPECT_EQ(Count(station.DayFile(station.clock.Now()), "00:00  0001"), 1);
}

}  // namespace
}  // namespace qrv::testing
