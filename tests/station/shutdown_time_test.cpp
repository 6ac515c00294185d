// How long SIGTERM takes to end a monitoring station on the wall clock:
// everything a shutdown waits for on the station's clock (a conversion under
// way, the unit's power settling as the port closes) counts here in full.
// Only the optimised build runs it: a sanitizer's station is several times
// slower in everything it does, which says nothing about what it waits for.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "simulated_service.h"
#include "stored_blocks.h"
#include "support/temp_dir.h"

namespace qrv::testing {
namespace {

using namespace std::chrono_literals;

constexpr auto kShutdownWithin = 2s;

// The network timer reads one probe every two seconds, and a temperature
// conversion takes 0.9 s of them: of three signals two thirds of a second
// apart in the two-second round, one lands during a conversion whatever the
// timer's phase. Three stations run at once, one signal each.
TEST(ShutdownTime, SigtermWhileMonitoringInRealTimeEndsWithinTwoSecondsWithTheLastBlock) {
    constexpr std::array kInto{3000ms, 3667ms, 4333ms};
    TempDir dir;
    std::vector<std::unique_ptr<SimulatedService>> stations;
    for (std::size_t i = 0; i < kInto.size(); ++i) {
        const std::filesystem::path own = dir.path() / std::to_string(i);
        std::filesystem::create_directories(own);
        stations.push_back(std::make_unique<SimulatedService>(own, 3));
        ASSERT_TRUE(stations.back()->notify.Bound());
        ASSERT_TRUE(stations.back()->process.Started());
    }
    std::vector<SteadyClock::time_point> signalAt;
    for (std::size_t i = 0; i < kInto.size(); ++i) {
        SimulatedService& service = *stations[i];
        ASSERT_TRUE(service.notify.WaitFor("READY=1", 60s, service.seen)) << service.Diagnostics();
        signalAt.push_back(SteadyClock::now() + kInto[i]);
    }
    for (std::size_t i = 0; i < kInto.size(); ++i) {
        SimulatedService& service = *stations[i];
        while (SteadyClock::now() < signalAt[i]) {
            service.notify.Receive(signalAt[i]);
        }
        service.process.Signal(SIGTERM);
        const auto signalled = SteadyClock::now();
        const std::optional<int> status = service.process.WaitForExit(30s);
        const auto took = SteadyClock::now() - signalled;
        ASSERT_TRUE(status) << service.Diagnostics();
        EXPECT_LT(took, kShutdownWithin)
            << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms, "
            << kInto[i].count() << " ms into monitoring";
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << service.Diagnostics();
        const std::optional<std::string> shutdown =
            LogMinuteOf(service.station, "Shutdown on SIGTERM");
        ASSERT_TRUE(shutdown) << ReadBytes(service.station / "QRVLog.txt");
        const std::vector<std::string> blocks = StoredBlocks(service.station);
        ASSERT_FALSE(blocks.empty()) << "no block stored at shutdown";
        // The minute may turn between the log line and the store.
        const int late = (MinuteOf(blocks.back()) - MinuteOf(*shutdown) + 1440) % 1440;
        EXPECT_LE(late, 1) << "last block " << blocks.back() << ", shutdown " << *shutdown;
    }
}

}  // namespace
}  // namespace qrv::testing
