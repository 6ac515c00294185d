// The service honours its signals in every state: during the installation of
// a large network too, and a SIGHUP with unchanged files changes no alarm.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fstream>
#include <string>
#include <vector>

#include "service_process.h"
#include "support/temp_dir.h"

namespace qrv::testing {
namespace {

using namespace std::chrono_literals;

// A sanitizer's station runs several times slower, its shutdown too.
constexpr auto kSignalHonouredWithin = QRV_SLOW_BUILD ? 10s : 2s;

// A network of temperature probes on three lines, for --simulate=FILE.
std::filesystem::path WriteNetwork(const std::filesystem::path& dir, int probes) {
    std::string lines[3];
    for (int i = 0; i < probes; ++i) {
        std::string& line = lines[i % 3];
        line += (line.empty() ? "" : ", ") + std::string(R"({"type": "DS18B20", "temperature": )") +
                std::to_string(2 + i % 5) + "}";
    }
    const std::filesystem::path file = dir / "network.json";
    std::ofstream(file) << R"({"lines": [[)" << lines[0] << "], [" << lines[1] << "], [" << lines[2]
                        << "]]}";
    return file;
}

bool HasText(const std::string& text, std::string_view part) {
    return text.find(part) != std::string::npos;
}

// A first start of quorvanel-station on a simulated network of that many
// temperature probes, telling the test's socket what a service manager hears.
struct SimulatedService {
    SimulatedService(const std::filesystem::path& dir, int probes)
        : station(dir / "station"),
          errors(dir / "stderr"),
          notify(dir / "notify"),
          process({kStation, "--station", station.string(),
                   "--simulate=" + WriteNetwork(dir, probes).string()},
                  {"NOTIFY_SOCKET=" + notify.Path()}, errors) {}

    std::string Diagnostics() const { return ReadBytes(errors); }

    std::filesystem::path station;
    std::filesystem::path errors;
    NotifySocket notify;
    Process process;
    std::vector<std::string> seen;
};

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
// that rereads unchanged files ends and raises nothing.
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

    process.Signal(SIGTERM);
    ASSERT_TRUE(process.WaitForExit(kSignalHonouredWithin)) << diagnostics();
}

}  // namespace
}  // namespace qrv::testing
