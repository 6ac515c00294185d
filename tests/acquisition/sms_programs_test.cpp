#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <future>
#include <thread>

#include "acquisition/sms_handoff.h"
#include "acquisition/sms_worker.h"
#include "runtime/program_log_file.h"
#include "runtime/text_file.h"
#include "support/recording_status_display.h"
#include "support/temp_dir.h"

namespace qrv::testing {
namespace {

using namespace std::chrono_literals;
using namespace acquisition;

// Broken SMS programs as small shell scripts, started for real; the polls run
// on virtual time, moved on whenever the worker waits for its next poll.
class SmsProgramTest : public ::testing::Test {
  protected:
    void Link(const std::string& name, const std::string& script) {
        const auto path = dir / name;
        WriteBytes(path, "#!/bin/sh\n" + script + "\n");
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
        SystemSettings configured;
        configured.SmSProgramSource = path.string();
        configured.SmSDestination = "Kees";
        settings.Replace(configured);
    }

    // Moves virtual time on while the worker sleeps, until it is idle; a poll
    // takes some real time too, so that a real program gets to run.
    bool RunHandOffs() {
        const auto deadline = std::chrono::steady_clock::now() + 60s;
        while (!worker.WaitUntilIdle(0ms)) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            if (clock.Sleepers() > 0) {
                clock.Advance(1.0);
            }
            std::this_thread::sleep_for(10ms);
        }
        return true;
    }

    std::string Log() const { return ReadBytes(dir / "QRVLog.txt"); }

    TempDir dir;
    VirtualClock clock{LocalDateTime{2026, 3, 9, 14, 5, 0, 0}};
    ProgramLogFile programLog{dir / "QRVLog.txt", clock};
    RecordingStatusDisplay display;
    SettingsOwner settings;
    PosixProgramLauncher launcher{200ms};
    SmsWorker worker{settings, launcher, clock, programLog, display};
};

TEST_F(SmsProgramTest, AProgramIgnoringSigtermTimesOutAndTheNextAlarmIsHandedOff) {
    Link("stubborn", "trap '' TERM\nsh -c 'trap \"\" TERM; while :; do sleep 1; done' &\nwait");
    ASSERT_EQ(worker.SendAlarmMessage("first alarm"), 0);
    ASSERT_TRUE(RunHandOffs());
    EXPECT_NE(Log().find(": ERROR: SMS Centre timeout.\r\n"), std::string::npos) << Log();

    Link("modem", "echo 'modem not found'; exit 1");
    ASSERT_EQ(worker.SendAlarmMessage("second alarm"), 0);
    ASSERT_TRUE(RunHandOffs());
    EXPECT_NE(Log().find(": ERROR: SMS Centre failed, exit status 1: modem not found\r\n"),
              std::string::npos)
        << Log();

    Link("crash", "kill -SEGV $$");
    ASSERT_EQ(worker.SendAlarmMessage("third alarm"), 0);
    ASSERT_TRUE(RunHandOffs());
    EXPECT_NE(Log().find(": ERROR: SMS Centre failed, killed by SIGSEGV.\r\n"), std::string::npos)
        << Log();

    Link("unrunnable", "exit 0");
    std::filesystem::permissions(dir / "unrunnable", std::filesystem::perms::owner_read |
                                                         std::filesystem::perms::owner_write);
    ASSERT_EQ(worker.SendAlarmMessage("fourth alarm"), 0);
    ASSERT_TRUE(RunHandOffs());
    EXPECT_NE(Log().find(": ERROR: SMS Centre not started. " + (dir / "unrunnable").string() +
                         ": Permission denied, it is not executable\r\n"),
              std::string::npos)
        << Log();
    EXPECT_EQ(Log().find("SMS was send"), std::string::npos);
}

TEST_F(SmsProgramTest, AChildThatTheProgramLeftDoesNotOutliveTheHandOff) {
    const auto pidFile = dir / "child";
    Link("forks", "sleep 60 &\necho $! > '" + pidFile.string() + "'\nexit 0");
    ASSERT_EQ(worker.SendAlarmMessage("alarm"), 0);
    ASSERT_TRUE(RunHandOffs());
    const pid_t child = std::atoi(ReadBytes(pidFile).c_str());
    ASSERT_GT(child, 0);
    const std::string stat = ReadBytes("/proc/" + std::to_string(child) + "/stat");
    const auto state = stat.rfind(") ");
    EXPECT_TRUE(stat.empty() || (state != std::string::npos && stat[state + 2] == 'Z'))
        << "the child still runs: " << stat;
    const std::string line =
        ": WARNING: SMS Centre left 1 process running when it ended; ended with SIGTERM.\r\n";
    const std::string log = Log();
    ASSERT_NE(log.find(line), std::string::npos) << log;
    EXPECT_EQ(log.find(line, log.find(line) + 1), std::string::npos) << "logged once";
    EXPECT_NE(log.find(": WARNING: SMS Centre finished too fast.\r\n"), std::string::npos);
}

TEST_F(SmsProgramTest, ShutdownDuringAHandOffToAStubbornProgramEndsInTime) {
    const auto ready = dir / "ready";
    Link("stubborn", "trap '' TERM\necho $$ > '" + ready.string() + "'\nwhile :; do sleep 1; done");
    ASSERT_EQ(worker.SendAlarmMessage("alarm"), 0);
    // Stopped only once the program has begun to ignore SIGTERM.
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (ReadBytes(ready).find('\n') == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
    const pid_t program = std::atoi(ReadBytes(ready).c_str());
    ASSERT_GT(program, 0);
    auto stopped = std::async(std::launch::async, [&] { worker.Stop(); });
    ASSERT_EQ(stopped.wait_for(10s), std::future_status::ready);
    EXPECT_NE(::kill(program, 0), 0);  // reaped by the hand-off
    EXPECT_NE(Log().find(": ERROR: SMS Centre terminated at shutdown.\r\n"), std::string::npos)
        << Log();
}

}  // namespace
}  // namespace qrv::testing
