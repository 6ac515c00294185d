#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "acquisition/alarm_log.h"
#include "acquisition/alarm_texts.h"
#include "acquisition/sms_handoff.h"
#include "acquisition/sms_worker.h"
#include "runtime/encoding.h"
#include "runtime/program_log_file.h"
#include "runtime/text_file.h"
#include "support/clocked_launcher.h"
#include "support/recording_status_display.h"
#include "support/temp_dir.h"

namespace qrv::testing {
namespace {

using namespace std::chrono_literals;
using namespace acquisition;

SensorRecord Probe(const std::string& name, int type, double value) {
    SensorRecord record;
    record.Name = name;
    record.SensorType = type;
    record.Value = value;
    record.Units = type == kTypeTemperature ? "\u00B0C" : type == kTypeHumidity ? " %" : "  ";
    return record;
}

TEST(AlarmFile, TheFirstAlarmCreatesTheFileWithItsHeaderAndStaysReadOnly) {
    TempDir dir;
    VirtualClock clock({2026, 3, 9, 14, 5, 59, 0});
    ProgramLogFile programLog(dir / "QRVLog.txt", clock);
    AlarmLog alarms(dir / "QRVAlarm.txt", clock, programLog);
    alarms.LogAlarmToDisk(
        ProbeAlarmMessage(kAlarmHigh, Probe("Freezer", kTypeTemperature, 4.46), 0));
    EXPECT_TRUE(IsReadOnly(dir / "QRVAlarm.txt"));
    clock.Advance(61.0);
    alarms.LogAlarmToDisk(kNetworkLostMessage);
    EXPECT_EQ(ReadBytes(dir / "QRVAlarm.txt"),
              "=========================================================\r\n"
              "===============  Quorvanel ALARM file: ==================\r\n"
              "=========================================================\r\n"
              "2026-03-09 14:05: QRVAlarm.txt created\r\n"
              "2026-03-09 14:05: High Alarm:  Freezer     4.5\xB0"
              "C\r\n"
              "2026-03-09 14:07: Alarm: network lost\r\n");
    EXPECT_TRUE(IsReadOnly(dir / "QRVAlarm.txt"));
    EXPECT_FALSE(FileExists(dir / "QRVLog.txt"));  // nothing went wrong
}

TEST(AlarmTexts, ProbeMessagesAndSmsTextsInTheirExactFormats) {
    EXPECT_EQ(ProbeAlarmMessage(kAlarmLost, Probe("Cold room", kTypeTemperature, 3.0), 0),
              "Probe lost  Cold room");
    EXPECT_EQ(ProbeAlarmMessage(kAlarmEndedMessage, Probe("Door", kTypeSwitch, 1.0), 0),
              "Value OK:  Door Open  ");
    EXPECT_EQ(ProbeAlarmMessage(kAlarmLow, Probe("Door", kTypeSwitch, 0.9), 1),
              "Alarm tief:  Door Geschlossen");
    EXPECT_EQ(ProbeAlarmMessage(6, Probe("Hum", kTypeHumidity, 100.0), 0),
              "Unknown:  Hum   100.0 %");

    const LocalDateTime now{2026, 3, 9, 7, 4, 3, 0};
    EXPECT_EQ(AlarmSmsText(kPreAlarmLow, Probe("Cellar", kTypeHumidity, 21.26), 0, now, "Farm"),
              "QUORVANEL MESSAGE:   Pre-Low Alarm:   Cellar    21.3 %,09/03/2026, 07:04:03,  Farm");
    EXPECT_EQ(AlarmSmsText(kAlarmLost, Probe("Cellar", kTypeHumidity, 21.25), 2, now, "Farm"),
              "MESSAGE QUORVANEL:   Capteur perdu   Cellar  09/03/2026, 07:04:03,  Farm");
    EXPECT_EQ(AlarmSmsText(kAlarmHigh, Probe("Gate", kTypeSwitch, 0.0), 3, now, "Farm"),
              "QUORVANEL BERICHT:   Alarm hoog:   Gate  Gesloten ,09/03/2026, 07:04:03,  Farm");
    EXPECT_EQ(TestSmsText("all well", 0, now, "Farm"),
              "QUORVANEL MESSAGE:  all well\n  09/03/2026, 07:04:03,  Farm");
}

TEST(SmsCommand, TheTextReachesTheProgramAsWordsNeverThroughAShell) {
    EXPECT_EQ(
        SmsCommandLine("/opt/sms centre/send", "Kees",
                       "QUORVANEL MESSAGE:   say \"hi\" $HOME; `rm -rf /` $(id)\nnext"),
        (std::vector<std::string>{"/opt/sms centre/send", "Kees", "QUORVANEL", "MESSAGE:", "say",
                                  "\"hi\"", "$HOME;", "`rm", "-rf", "/`", "$(id)\nnext"}));
}

// An SMS worker on virtual time with stand-in programs; the test moves the
// clock one second per poll, so every run is judged exactly.
class SmsWorkerTest : public ::testing::Test {
  protected:
    SmsWorkerTest() {
        WriteBytes(dir / "sms-program", "");
        SystemSettings configured;
        configured.SmSProgramSource = (dir / "sms-program").string();
        configured.SmSDestination = "Kees";
        settings.Replace(configured);
    }

    // Lets virtual time pass one poll at a time until the worker is idle:
    // the clock moves only while the worker sleeps between its polls.
    void RunHandOffs() {
        const auto deadline = std::chrono::steady_clock::now() + 30s;
        const auto waitFor = [&](auto done) {
            while (!done()) {
                if (std::chrono::steady_clock::now() > deadline) {
                    return false;
                }
                std::this_thread::yield();
            }
            return true;
        };
        while (!worker.WaitUntilIdle(0ms)) {
            ASSERT_TRUE(waitFor([&] { return clock.Sleepers() > 0 || worker.WaitUntilIdle(0ms); }));
            if (worker.WaitUntilIdle(0ms)) {
                break;
            }
            const int polls = launcher.Polls();
            clock.Advance(1.0);
            ASSERT_TRUE(
                waitFor([&] { return launcher.Polls() != polls || worker.WaitUntilIdle(0ms); }));
        }
    }
    int LogCount(const std::string& line) const {
        const std::string log = ReadBytes(dir / "QRVLog.txt");
        int n = 0;
        for (auto at = log.find(line); at != std::string::npos; at = log.find(line, at + 1)) {
            ++n;
        }
        return n;
    }

    TempDir dir;
    VirtualClock clock{LocalDateTime{2026, 3, 9, 14, 5, 0, 0}};
    ProgramLogFile programLog{dir / "QRVLog.txt", clock};
    RecordingStatusDisplay display;
    SettingsOwner settings;
    ClockedLauncher launcher{clock};
    SmsWorker worker{settings, launcher, clock, programLog, display};
};

TEST_F(SmsWorkerTest, ARunIsJudgedByItsLengthInPollsOfOneSecond) {
    std::vector<int> results;
    const auto record = [&](int result) { results.push_back(result); };
    for (const double seconds : {3.0, 10.0, 10.5, 30.0, 61.0, ClockedLauncher::kNever}) {
        launcher.SetRunSeconds(seconds);
        worker.SendTestMessage("test", record);
        EXPECT_TRUE(worker.Busy()) << "queued or running counts as busy";
        RunHandOffs();
        EXPECT_FALSE(worker.Busy());
    }
    EXPECT_EQ(results, (std::vector<int>{kSmsTooFast, kSmsTooFast, kSmsSent, kSmsSent, kSmsSent,
                                         kSmsTimeout}));
    EXPECT_EQ(launcher.Terminated(), 1);
    EXPECT_EQ(LogCount(": WARNING: SMS Centre finished too fast.\r\n"), 2);
    EXPECT_EQ(LogCount(": OK:    SMS was send.\r\n"), 3);
    EXPECT_EQ(LogCount(": ERROR: SMS Centre timeout.\r\n"), 1);
}

TEST_F(SmsWorkerTest, AlarmsWaitTheirTurnAndAreSkippedWithoutConfiguration) {
    launcher.SetRunSeconds(12.0);
    EXPECT_EQ(worker.SendAlarmMessage("first alarm"), 0);
    EXPECT_EQ(worker.SendAlarmMessage("second alarm"), 0);
    RunHandOffs();
    const auto launched = launcher.Launched();
    ASSERT_EQ(launched.size(), 2U);
    EXPECT_EQ(launched[0],
              (std::vector<std::string>{(dir / "sms-program").string(), "Kees", "first", "alarm"}));
    EXPECT_EQ(launched[1][2], "second");
    EXPECT_EQ(LogCount(": OK:    SMS was send.\r\n"), 2);

    SystemSettings noDestination = settings.Snapshot();
    noDestination.SmSDestination = "---";
    settings.Replace(noDestination);
    EXPECT_EQ(worker.SendAlarmMessage("third alarm"), kSmsSkipped);
    int result = 0;
    worker.SendTestMessage("test", [&](int r) { result = r; });
    RunHandOffs();
    EXPECT_EQ(result, kSmsNotConfigured);
    EXPECT_EQ(launcher.Launched().size(), 2U);
    EXPECT_EQ(LogCount(": ERROR: SMS Centre not found.\r\n"), 1);

    settings.Replace(SystemSettings{});
    launcher.RefuseLaunches(true);
    EXPECT_EQ(worker.SendAlarmMessage("fourth alarm"), kSmsSkipped);
}

TEST_F(SmsWorkerTest, AProgramThatFailsIsNeverASuccessAndWhatItPrintedIsLogged) {
    std::vector<int> results;
    const auto record = [&](int result) { results.push_back(result); };
    launcher.SetRunSeconds(12.0);
    launcher.SetEnd({false, 1, {}}, "modem not found\r\nretry later\n");
    worker.SendTestMessage("test", record);
    RunHandOffs();
    launcher.SetRunSeconds(0.0);
    launcher.SetEnd({true, 11, {}});
    worker.SendTestMessage("test", record);
    RunHandOffs();
    // Exit 0 keeps its timing rules; what it printed goes beside the warning.
    launcher.SetRunSeconds(2.0);
    launcher.SetEnd({false, 0, {}}, "\tqueued\x01 only\n");
    worker.SendTestMessage("test", record);
    RunHandOffs();
    launcher.SetRunSeconds(ClockedLauncher::kNever);
    worker.SendTestMessage("test", record);
    RunHandOffs();

    EXPECT_EQ(results, (std::vector<int>{kSmsFailed, kSmsFailed, kSmsTooFast, kSmsTimeout}));
    EXPECT_EQ(LogCount(": ERROR: SMS Centre failed, exit status 1: modem not found\r\n"), 1);
    EXPECT_EQ(LogCount(": ERROR: SMS Centre failed, killed by SIGSEGV.\r\n"), 1);
    EXPECT_EQ(LogCount(": WARNING: SMS Centre finished too fast.\r\n"), 1);
    EXPECT_EQ(LogCount(": SMS Centre output:  queued  only\r\n"), 2);  // too fast, timeout
    EXPECT_EQ(LogCount(": ERROR: SMS Centre timeout.\r\n"), 1);
    EXPECT_EQ(LogCount("SMS was send"), 0);
}

TEST_F(SmsWorkerTest, AMissingLinkedProgramIsLoggedForEveryAlarmAndShownOnce) {
    SystemSettings gone = settings.Snapshot();
    gone.SmSProgramSource = (dir / "no-such-program").string();
    settings.Replace(gone);
    EXPECT_EQ(worker.SendAlarmMessage("first alarm"), kSmsNotConfigured);
    EXPECT_EQ(worker.SendAlarmMessage("second alarm"), kSmsNotConfigured);
    EXPECT_TRUE(launcher.Launched().empty());
    const std::string line =
        "ERROR: SMS Centre not found. " + gone.SmSProgramSource + ": No such file or directory\r\n";
    EXPECT_EQ(LogCount(line), 2);
    const auto shown = [&] {
        int n = 0;
        for (const std::string& call : display.Calls()) {
            n += call.find("no-such-program") != std::string::npos ? 1 : 0;
        }
        return n;
    };
    EXPECT_EQ(shown(), 1);
    EXPECT_EQ(display.Snapshot().statusColor, colors::kAlarmRed);

    // Once it is back the next loss is shown again.
    SystemSettings back = gone;
    back.SmSProgramSource = (dir / "sms-program").string();
    settings.Replace(back);
    EXPECT_EQ(worker.SendAlarmMessage("third alarm"), 0);
    RunHandOffs();
    settings.Replace(gone);
    EXPECT_EQ(worker.SendAlarmMessage("fourth alarm"), kSmsNotConfigured);
    EXPECT_EQ(shown(), 2);
}

TEST_F(SmsWorkerTest, AProgramThatCannotStartIsLogged) {
    launcher.RefuseLaunches(true);
    int result = 0;
    worker.SendTestMessage("test", [&](int r) { result = r; });
    RunHandOffs();
    EXPECT_EQ(result, kSmsNotStarted);
    EXPECT_EQ(LogCount(": ERROR: SMS Centre not started. " + (dir / "sms-program").string() + ": "),
              1);
}

TEST_F(SmsWorkerTest, AtShutdownARunningHandOffIsTerminatedAndQueuedOnesAreLogged) {
    launcher.SetRunSeconds(ClockedLauncher::kNever);
    worker.SendAlarmMessage("running");
    worker.SendAlarmMessage("queued");
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (launcher.Launched().empty() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_EQ(launcher.Launched().size(), 1U);
    worker.Stop();
    EXPECT_EQ(launcher.Terminated(), 1);
    EXPECT_EQ(LogCount(": ERROR: SMS Centre terminated at shutdown.\r\n"), 1);
    EXPECT_EQ(LogCount(": ERROR: SMS not handed off, the station shut down.\r\n"), 1);
    worker.SendAlarmMessage("after");
    EXPECT_EQ(launcher.Launched().size(), 1U);
    EXPECT_EQ(LogCount(": ERROR: SMS not handed off, the station shut down.\r\n"), 2);
}

}  // namespace
}  // namespace qrv::testing
