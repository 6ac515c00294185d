// quorvanel-station as the service manager runs it: a real process on the
// simulated unit, its clock 120 times faster than real time so that the
// stores of several minutes come within seconds, and a datagram socket of the
// test's own as NOTIFY_SOCKET.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "sensors/sensor_file.h"
#include "service_process.h"
#include "storage/result_file_format.h"
#include "stored_blocks.h"
#include "support/recording_log.h"
#include "support/scripted_dialogs.h"
#include "support/temp_dir.h"

namespace qrv::testing {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

TEST(StationProcess, TellsTheServiceManagerItsStateFeedsTheWatchdogOnlyWhileTicksCome) {
    TempDir dir;
    const std::filesystem::path station = dir.path() / "station";
    NotifySocket notify(dir.path() / "notify");
    ASSERT_TRUE(notify.Bound());
    Process process({kStation, "--station", station.string(), "--simulate", "--fast-clock=120",
                     "--stall-timer-on-sigusr1"},
                    {"NOTIFY_SOCKET=" + notify.Path(), "WATCHDOG_USEC=400000"},
                    dir.path() / "stderr");
    ASSERT_TRUE(process.Started());
    const auto diagnostics = [&] { return ReadBytes(dir.path() / "stderr"); };

    std::vector<std::string> seen;
    ASSERT_TRUE(notify.WaitFor("READY=1", 30s, seen)) << diagnostics();
    // The status comes with the ready message at the latest.
    ASSERT_GE(seen.size(), 2U);
    EXPECT_TRUE(seen[seen.size() - 2].starts_with("STATUS=")) << seen[seen.size() - 2];
    EXPECT_NE(seen[seen.size() - 2].find(" probes, 0 alarms standing"), std::string::npos)
        << seen[seen.size() - 2];

    // Monitoring runs: the watchdog is fed, and blocks come at the sampling
    // minutes (every five minutes of the station's clock by default).
    const auto blocksDeadline = Clock::now() + 25s;
    std::vector<std::string> blocks;
    while (Clock::now() < blocksDeadline && (blocks = StoredBlocks(station)).size() < 3) {
        if (auto message = notify.Receive(Clock::now() + 100ms)) {
            seen.push_back(std::move(*message));
        }
    }
    ASSERT_GE(blocks.size(), 3U) << diagnostics();
    // On the sampling minute; on a loaded machine, whose 120-fold clock may
    // pass a whole minute between two ticks, one minute late at most.
    for (std::size_t i = 1; i < blocks.size(); ++i) {
        EXPECT_LE(MinuteOf(blocks[i]) % 5, 1) << blocks[i];
        const int gap = (MinuteOf(blocks[i]) - MinuteOf(blocks[i - 1]) + 1440) % 1440;
        EXPECT_TRUE(i == 1 || (gap >= 4 && gap <= 6)) << blocks[i - 1] << " then " << blocks[i];
    }
    EXPECT_GE(CountStarting(seen, "WATCHDOG=1"), 5);
    EXPECT_TRUE(std::any_of(seen.begin(), seen.end(), [](const std::string& message) {
        return message.starts_with("STATUS=") && message.find(", last store ") != std::string::npos;
    })) << "the last store is not in the status";

    // SIGHUP: the probe file is read again, with a name changed meanwhile,
    // and the network installed again.
    {
        SensorTable probes;
        ASSERT_GE(ReadSensorFile(station / "QRVNL.SNS", probes), 0);
        probes.SensorArray[0].Name = "Renamed on disk";
        VirtualClock fileClock;
        ScriptedDialogs quiet;
        RecordingLog quietLog;
        ASSERT_EQ(WriteSensorFile(station / "QRVNL.SNS", probes, fileClock, quiet, quietLog, 0), 0);
    }
    // A call list added meanwhile is not taken up by the running station,
    // which says so rather than claim it.
    WriteBytes(station / "quorvanel.toml",
               "[[notify.contact]]\nname = \"Cleo\"\nchannel = \"sms\"\naddress = \"Cleo\"\n");
    process.Signal(SIGHUP);
    std::vector<std::string> reload;
    ASSERT_TRUE(notify.WaitFor("RELOADING=1", 10s, reload)) << diagnostics();
    ASSERT_TRUE(notify.WaitFor("READY=1", 20s, reload)) << diagnostics();
    const std::size_t blocksBeforeReload = StoredBlocks(station).size();
    const auto renamedDeadline = Clock::now() + 15s;
    while (Clock::now() < renamedDeadline && StoredBlocks(station).size() <= blocksBeforeReload) {
        notify.Receive(Clock::now() + 100ms);
    }
    const std::string lastDay = ReadBytes(LastDayFile(station));
    EXPECT_NE(lastDay.rfind("Renamed on disk"), std::string::npos)
        << "the probe file was not reread";
    EXPECT_NE(ReadBytes(station / "QRVLog.txt").find("Settings and probe files reread (service)"),
              std::string::npos);
    EXPECT_NE(ReadBytes(station / "QRVLog.txt")
                  .find("The [notify] settings changed: they take effect when the station is "
                        "restarted"),
              std::string::npos);

    // The timer thread stalls: after the ticks already noted, the watchdog
    // goes hungry, while the main loop itself runs on.
    process.Signal(SIGUSR1);
    std::vector<std::string> afterStall;
    notify.WaitFor("never", 1s, afterStall);
    std::vector<std::string> hungry;
    notify.WaitFor("never", 1500ms, hungry);
    EXPECT_EQ(CountStarting(hungry, "WATCHDOG=1"), 0);

    process.Signal(SIGTERM);
    std::vector<std::string> stopping;
    EXPECT_TRUE(notify.WaitFor("STOPPING=1", 10s, stopping)) << diagnostics();
    const std::optional<int> status = process.WaitForExit(20s);
    ASSERT_TRUE(status) << "no exit after SIGTERM";
    ASSERT_TRUE(WIFEXITED(*status)) << diagnostics();
    EXPECT_EQ(WEXITSTATUS(*status), 0) << diagnostics();

    // The shutdown stored the block of its own minute (or of the next one,
    // when the minute turned between the log line and the store).
    const std::optional<std::string> shutdown = LogMinuteOf(station, "Shutdown on SIGTERM");
    ASSERT_TRUE(shutdown);
    const std::vector<std::string> finalBlocks = StoredBlocks(station);
    const int late = (MinuteOf(finalBlocks.back()) - MinuteOf(*shutdown) + 1440) % 1440;
    EXPECT_LE(late, 1) << "last block " << finalBlocks.back() << ", shutdown " << *shutdown;
    EXPECT_NE(diagnostics().find("<6>Shutdown on SIGTERM\n"), std::string::npos) << diagnostics();
}

TEST(StationProcess, LinksNoQt) {
    TempDir dir;
    Process ldd({"/usr/bin/ldd", kStation}, {}, dir.path() / "ldd");
    ASSERT_TRUE(ldd.Started());
    const std::optional<int> status = ldd.WaitForExit(20s);
    ASSERT_TRUE(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
    const std::string libraries = ReadBytes(dir.path() / "ldd");
    EXPECT_NE(libraries.find("libc.so"), std::string::npos) << libraries;
    EXPECT_NE(libraries.find("libsystemd.so"), std::string::npos) << libraries;
    EXPECT_EQ(libraries.find("libQt"), std::string::npos) << libraries;
}

TEST(StationProcess, ABadCommandLineIsRefusedWithTheUsage) {
    TempDir dir;
    Process process({kStation, "--fast-clock=60"}, {}, dir.path() / "out");
    ASSERT_TRUE(process.Started());
    const std::optional<int> status = process.WaitForExit(20s);
    ASSERT_TRUE(status && WIFEXITED(*status));
    EXPECT_EQ(WEXITSTATUS(*status), 2);
    EXPECT_NE(ReadBytes(dir.path() / "out").find("--fast-clock works only with --simulate"),
              std::string::npos);
}

// `sudo quorvanel-station user add` before the service's first start left
// the accounts and the log to root, and the service without logins or log.
TEST(StationProcess, RefusesToWriteIntoAStationOfAnotherUserUnlessForced) {
    TempDir dir;
    TempDir given;
    // As root the station is given to nobody; otherwise the root directory
    // is another user's, and nothing is written into it.
    const bool root = ::geteuid() == 0;
    std::filesystem::path station = "/";
    if (root) {
        ASSERT_EQ(::chown(given.path().c_str(), 65534, 65534), 0);
        station = given.path();
    }
    Process refused(
        {kStation, "--station", station.string(), "user", "add", "anna", "--role", "viewer"}, {},
        dir.path() / "refused");
    ASSERT_TRUE(refused.Started());
    const std::optional<int> status = refused.WaitForExit(20s);
    ASSERT_TRUE(status && WIFEXITED(*status));
    EXPECT_EQ(WEXITSTATUS(*status), 1);
    const std::string message = ReadBytes(dir.path() / "refused");
    EXPECT_NE(message.find("sudo -u "), std::string::npos) << message;
    EXPECT_NE(message.find(" user add anna --role viewer"), std::string::npos) << message;
    EXPECT_FALSE(std::filesystem::exists(station / "web-accounts.json"));
    EXPECT_FALSE(std::filesystem::exists(station / "QRVLog.txt"));
    if (!root) {
        GTEST_SKIP() << "--force is tried only as root, which can give a station to another user";
    }
    Process forced({kStation, "--force", "--station", station.string(), "user", "list"}, {},
                   dir.path() / "forced");
    ASSERT_TRUE(forced.Started());
    const std::optional<int> forcedStatus = forced.WaitForExit(20s);
    ASSERT_TRUE(forcedStatus && WIFEXITED(*forcedStatus));
    EXPECT_EQ(WEXITSTATUS(*forcedStatus), 0) << ReadBytes(dir.path() / "forced");
}

}  // namespace
}  // namespace qrv::testing
