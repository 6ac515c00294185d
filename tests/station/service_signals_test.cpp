// The service honours its signals in every state: during the installation of
// a large network too, and a SIGHUP with unchanged files changes no alarm.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fstream>
#include <string>
#include <vector>

#include "notify/receivers.h"
#include "sensors/sensor_file.h"
#include "settings/settings_file.h"
#include "simulated_service.h"
#include "stored_blocks.h"
#include "support/recording_log.h"
#include "support/scripted_dialogs.h"
#include "support/temp_dir.h"

namespace qrv::testing {
namespace {

using namespace std::chrono_literals;

// A sanitizer's station runs several times slower, its shutdown too.
constexpr auto kSignalHonouredWithin = QRV_SLOW_BUILD ? 10s : 2s;

TEST(ServiceSignals, SigtermDuringAHundredProbeInstallationEndsTheStationAtOnce) {
    TempDir dir;
    SimulatedService service(dir.path(), 100);
    ASSERT_TRUE(service.notify.Bound());
    ASSERT_TRUE(service.process.Started());
    auto& [station, errors, notify, process, seen] = service;
    const auto diagnostics = [&] { return service.Diagnostics(); };

    // The service manager hears how far the installation is, and that the
    // start takes longer, before the station is ready.
    ASSERT_TRUE(notify.WaitFor("EXTEND_TIMEOUT_USEC=", 15s, seen)) << diagnostics();
    // SIGTERM while the lines are searched, probes found and more to come.
    const auto searching = SteadyClock::now() + 60s;
    std::optional<std::string> progress;
    do {
        progress = notify.WaitFor("STATUS=installing: ", 30s, seen);
        ASSERT_TRUE(progress) << diagnostics();
    } while (progress->starts_with("STATUS=installing: 0 ") && SteadyClock::now() < searching);
    EXPECT_TRUE(progress->ends_with(" probes found")) << *progress;
    EXPECT_EQ(CountStarting(seen, "READY=1"), 0);

    process.Signal(SIGTERM);
    const auto signalled = SteadyClock::now();
    const std::optional<int> status = process.WaitForExit(kSignalHonouredWithin);
    ASSERT_TRUE(status) << "still running " << kSignalHonouredWithin.count() << " s after SIGTERM\n"
                        << diagnostics();
    EXPECT_LT(SteadyClock::now() - signalled, kSignalHonouredWithin);
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << diagnostics();
    const std::string log = ReadBytes(station / "QRVLog.txt");
    EXPECT_TRUE(HasText(log, "Shutdown on SIGTERM")) << log;
    EXPECT_TRUE(HasText(log, "Network Not Installed")) << "the installation ended unfinished";
}

// The first start on an unknown network adds every probe as the installation
// adds it; what it wrote to the probe file is what it monitors, so a SIGHUP
// that rereads unchanged files ends and raises nothing, and records nothing.
TEST(ServiceSignals, ASighupAfterAFirstUnattendedStartChangesNoAlarm) {
    TempDir dir;
    SimulatedService service(dir.path(), 6);
    ASSERT_TRUE(service.notify.Bound());
    ASSERT_TRUE(service.process.Started());
    auto& [station, errors, notify, process, seen] = service;
    const auto diagnostics = [&] { return service.Diagnostics(); };
    ASSERT_TRUE(notify.WaitFor("READY=1", 60s, seen)) << diagnostics();
    // New probes have no limits: each stands in a high alarm once its
    // delay has passed. Waiting for that is not needed: any alarm line a
    // reload wrote would show below.
    const std::string before = ReadBytes(station / "QRVAlarm.txt");

    process.Signal(SIGHUP);
    ASSERT_TRUE(notify.WaitFor("RELOADING=1", 10s, seen)) << diagnostics();
    ASSERT_TRUE(notify.WaitFor("READY=1", 60s, seen)) << diagnostics();
    const std::string after = ReadBytes(station / "QRVAlarm.txt");
    EXPECT_FALSE(HasText(after, "Value OK")) << after;
    EXPECT_EQ(std::count(after.begin(), after.end(), '\n'),
              std::count(before.begin(), before.end(), '\n'))
        << "the reload wrote alarm lines:\n"
        << after;
    // Nor does it take its own probe file for a hand-edited one.
    const std::string trail = ReadBytes(station / "QRVAudit.txt");
    EXPECT_FALSE(HasText(trail, "outside the station")) << trail;

    process.Signal(SIGTERM);
    ASSERT_TRUE(process.WaitForExit(kSignalHonouredWithin)) << diagnostics();
}

// SIGTERM ends the station within seconds whatever is under way, and the
// shutdown still stores the block of its minute. Measured from the signal to
// the process's exit, on a clock 120 times faster: what waits on the
// station's clock (a conversion under way, the unit's power settling as the
// port closes) shrinks, so what this catches is a shutdown that waits for
// anything else (a delivery, a hand-off, a thread's own poll, a store).
void ExpectAQuickShutdownWithItsBlock(SimulatedService& service) {
    const auto diagnostics = [&] { return service.Diagnostics(); };
    service.process.Signal(SIGTERM);
    const auto signalled = SteadyClock::now();
    const std::optional<int> status = service.process.WaitForExit(kSignalHonouredWithin);
    ASSERT_TRUE(status) << "still running " << kSignalHonouredWithin.count() << " s after SIGTERM\n"
                        << diagnostics();
    EXPECT_LT(SteadyClock::now() - signalled, kSignalHonouredWithin);
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << diagnostics();
    const std::optional<std::string> shutdown = LogMinuteOf(service.station, "Shutdown on SIGTERM");
    ASSERT_TRUE(shutdown) << ReadBytes(service.station / "QRVLog.txt");
    const std::vector<std::string> blocks = StoredBlocks(service.station);
    ASSERT_FALSE(blocks.empty());
    // The clock runs 120 times faster: the minute may turn between the log
    // line and the store.
    const int late = (MinuteOf(blocks.back()) - MinuteOf(*shutdown) + 1440) % 1440;
    EXPECT_LE(late, 1) << "last block " << blocks.back() << ", shutdown " << *shutdown;
}

TEST(ServiceSignals, SigtermWhileMonitoringEndsWithinSecondsWithTheLastBlockStored) {
    TempDir dir;
    SimulatedService service(dir.path(), 15, {"--fast-clock=120"});
    ASSERT_TRUE(service.notify.Bound());
    ASSERT_TRUE(service.process.Started());
    ASSERT_TRUE(service.notify.WaitFor("READY=1", 60s, service.seen)) << service.Diagnostics();
    // A few stores into monitoring, so that a store may be under way.
    const auto storing = SteadyClock::now() + 20s;
    while (StoredBlocks(service.station).size() < 3 && SteadyClock::now() < storing) {
        service.notify.Receive(SteadyClock::now() + 100ms);
    }
    ExpectAQuickShutdownWithItsBlock(service);
}

// New probes have no limits, so each stands in a high alarm once its delay
// has passed; with SMS on, the call list hands the alarm to an SMS program
// that takes its time and, a station minute later, to a webhook that never
// answers (within the five minutes the station would wait for it). Neither
// holds the shutdown up.
TEST(ServiceSignals, SigtermWhileAnSmsAndANoticeAreOnTheirWayEndsWithinSeconds) {
    TempDir dir;
    const std::filesystem::path station = dir.path() / "station";
    {
        SimulatedService first(dir.path(), 6, {"--fast-clock=120"});
        ASSERT_TRUE(first.notify.Bound());
        ASSERT_TRUE(first.process.Started());
        ASSERT_TRUE(first.notify.WaitFor("READY=1", 60s, first.seen)) << first.Diagnostics();
        first.process.Signal(SIGTERM);
        ASSERT_TRUE(first.process.WaitForExit(kSignalHonouredWithin)) << first.Diagnostics();
    }
    std::filesystem::remove(dir.path() / "notify");
    {
        SensorTable probes;
        ASSERT_GE(ReadSensorFile(station / "QRVNL.SNS", probes), 0);
        for (int i = 0; i <= probes.GetMax1820Index(); ++i) {
            probes.SensorArray[i].SmsEnable = 1;
        }
        VirtualClock fileClock;
        ScriptedDialogs quiet;
        RecordingLog quietLog;
        ASSERT_EQ(WriteSensorFile(station / "QRVNL.SNS", probes, fileClock, quiet, quietLog, 0), 0);
    }
    const std::filesystem::path program = dir.path() / "slow-sms";
    const std::filesystem::path handedOff = dir.path() / "handed-off";
    WriteBytes(program, "#!/bin/sh\necho \"$@\" > " + handedOff.string() + "\nexec sleep 60\n");
    std::filesystem::permissions(program, std::filesystem::perms::owner_all);
    SystemSettings settings;
    // A first start keeps the defaults without writing them.
    if (std::filesystem::exists(station / "QRVNL.INI")) {
        ASSERT_GE(ReadIniFile(station / "QRVNL.INI", settings), 0);
    }
    settings.SmSProgramSource = program.string();
    WriteBytes(station / "QRVNL.INI", FormatIniFile(settings, VirtualClock{}));
    HttpReceiver silent;
    silent.Hold(true);
    WriteBytes(station / "quorvanel.toml",
               "[notify]\nescalate_after = 1\ntimeout_seconds = 300\n"
               "[[notify.contact]]\nname = \"Cleo\"\nchannel = \"sms\"\naddress = \"Cleo\"\n"
               "[[notify.contact]]\nname = \"Anna\"\nchannel = \"webhook\"\naddress = \"" +
                   silent.Url() + "\"\n");

    SimulatedService service(dir.path(), 6, {"--fast-clock=120"});
    ASSERT_TRUE(service.notify.Bound());
    ASSERT_TRUE(service.process.Started());
    const auto logs = [&] {
        return ReadBytes(station / "QRVLog.txt") + ReadBytes(station / "QRVAlarm.txt");
    };
    ASSERT_TRUE(service.notify.WaitFor("READY=1", 60s, service.seen)) << service.Diagnostics();
    const auto underWay = SteadyClock::now() + 30s;
    while ((!std::filesystem::exists(handedOff) || silent.Count() == 0) &&
           SteadyClock::now() < underWay) {
        service.notify.Receive(SteadyClock::now() + 100ms);
    }
    ASSERT_TRUE(std::filesystem::exists(handedOff)) << logs();
    ASSERT_GE(silent.Count(), 1U) << logs();

    ExpectAQuickShutdownWithItsBlock(service);
    // Six alarms keep the SMS program busy, one hand-off after another: the
    // shutdown ends the one under way, or (a hand-off that timed out just
    // then, half a second on this clock) leaves the next one unstarted.
    EXPECT_TRUE(HasText(logs(), "ERROR: SMS Centre terminated at shutdown.") ||
                HasText(logs(), "ERROR: SMS not handed off, the station shut down."))
        << logs();
}

}  // namespace
}  // namespace qrv::testing
