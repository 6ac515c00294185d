// The real quorvanel-station on the simulated unit, on the wall clock: how
// long a 100-probe network (three lines) takes from start to READY=1, and
// how long SIGTERM takes to end a station monitoring the sample network,
// signalled at three phases of its two-second reading round, with the block
// of the shutdown's minute stored. Prints each figure beside its goal and
// exits 1 when one misses it.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "simulated_service.h"
#include "stored_blocks.h"
#include "support/temp_dir.h"

namespace qrv::testing {
namespace {

using namespace std::chrono_literals;
using Seconds = std::chrono::duration<double>;

constexpr double kReadyGoalSeconds = 15.0;
constexpr double kShutdownGoalSeconds = 2.0;

std::optional<double> SecondsToReady(int probes) {
    TempDir dir;
    const auto start = SteadyClock::now();
    SimulatedService service(dir.path(), probes);
    if (!service.notify.Bound() || !service.process.Started() ||
        !service.notify.WaitFor("READY=1", 300s, service.seen)) {
        std::fprintf(stderr, "%s\n", service.Diagnostics().c_str());
        return std::nullopt;
    }
    const double seconds = Seconds(SteadyClock::now() - start).count();
    service.process.Signal(SIGTERM);
    service.process.WaitForExit(30s);
    return seconds;
}

struct Shutdown {
    double seconds;
    bool lastBlockStored;
};

// The sample network (--simulate without a file), signalled `into` after READY=1.
std::optional<Shutdown> ShutdownAfter(std::chrono::milliseconds into) {
    TempDir dir;
    const std::filesystem::path station = dir.path() / "station";
    NotifySocket notify(dir.path() / "notify");
    Process process({kStation, "--station", station.string(), "--simulate"},
                    {"NOTIFY_SOCKET=" + notify.Path()}, dir.path() / "stderr");
    std::vector<std::string> seen;
    if (!notify.Bound() || !process.Started() || !notify.WaitFor("READY=1", 120s, seen)) {
        std::fprintf(stderr, "%s\n", ReadBytes(dir.path() / "stderr").c_str());
        return std::nullopt;
    }
    const auto signalAt = SteadyClock::now() + into;
    while (SteadyClock::now() < signalAt) {
        notify.Receive(signalAt);
    }
    process.Signal(SIGTERM);
    const auto signalled = SteadyClock::now();
    const std::optional<int> status = process.WaitForExit(30s);
    const double seconds = Seconds(SteadyClock::now() - signalled).count();
    if (!status || !WIFEXITED(*status) || WEXITSTATUS(*status) != 0) {
        std::fprintf(stderr, "%s\n", ReadBytes(dir.path() / "stderr").c_str());
        return std::nullopt;
    }
    const std::optional<std::string> minute = LogMinuteOf(station, "Shutdown on SIGTERM");
    const std::vector<std::string> blocks = StoredBlocks(station);
    // The minute may turn between the log line and the store.
    const bool stored = minute && !blocks.empty() &&
                        (MinuteOf(blocks.back()) - MinuteOf(*minute) + 1440) % 1440 <= 1;
    return Shutdown{seconds, stored};
}

}  // namespace
}  // namespace qrv::testing

int main() {
    using namespace qrv::testing;
    bool met = true;
    const std::optional<double> ready = SecondsToReady(100);
    if (ready) {
        std::printf("100 probes on three lines, start to READY=1: %6.2f s (goal <= %.0f s)\n",
                    *ready, kReadyGoalSeconds);
    } else {
        std::printf("100 probes on three lines: no READY=1\n");
    }
    met = met && ready && *ready <= kReadyGoalSeconds;
    for (const std::chrono::milliseconds into : {3000ms, 3667ms, 4333ms}) {
        const std::optional<Shutdown> shutdown = ShutdownAfter(into);
        if (!shutdown) {
            std::printf("sample network, SIGTERM %lld ms into monitoring: no clean exit\n",
                        static_cast<long long>(into.count()));
            met = false;
            continue;
        }
        std::printf(
            "sample network, SIGTERM %lld ms into monitoring to exit: %5.3f s (goal < %.0f s), "
            "last block %s\n",
            static_cast<long long>(into.count()), shutdown->seconds, kShutdownGoalSeconds,
            shutdown->lastBlockStored ? "stored" : "MISSING");
        met = met && shutdown->seconds < kShutdownGoalSeconds && shutdown->lastBlockStored;
    }
    return met ? EXIT_SUCCESS : EXIT_FAILURE;
}
