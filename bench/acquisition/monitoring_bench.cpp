// Measures live monitoring with 100 probes on the simulated unit, the
// station without its window: the network timer with acquisition, alarms
// and the alarm file, and the display timer with the stores and row updates.
//
//   monitoring_bench virtual [hours]   virtual time as fast as it goes
//                                      (target: 24 hours in 3 s)
//   monitoring_bench realtime [seconds] real time, the timer on its thread
//                                      (target: 1 % of one core, 80 MB)

#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

#include "acquisition/clock_timer_platform.h"
#include "app/shell/results_table.h"
#include "onewire/nodex_session.h"
#include "onewire/onewire_driver.h"
#include "runtime/date_strings.h"
#include "runtime/program_launcher.h"
#include "runtime/program_log_file.h"
#include "runtime/silent_status_display.h"
#include "sim/network_file.h"
#include "station/display_timer.h"
#include "station/live_monitoring.h"
#include "station/status_fields.h"
#include "station/status_reporting_log.h"
#include "support/hundred_probe_station.h"
#include "support/quiet_station.h"
#include "support/scripted_dialogs.h"
#include "support/stepped_timer_platform.h"

namespace {

using namespace qrv;
using bench::BenchStation;
using bench::CpuSeconds;

long MaxResidentKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

long StoredBlocks(const std::filesystem::path& dataDirectory) {
    long blocks = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dataDirectory)) {
        std::string text;
        std::FILE* file = std::fopen(entry.path().c_str(), "rb");
        char buffer[65536];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) {
            text.append(buffer, n);
        }
        std::fclose(file);
        for (std::size_t at = text.find("  0100\r\n"); at != std::string::npos;
             at = text.find("  0100\r\n", at + 1)) {
            ++blocks;
        }
    }
    return blocks;
}

int RunVirtual(const std::filesystem::path& dir, double hours) {
    VirtualClock clock({2026, 1, 5, 0, 0, 30, 0});
    acquisition::SteppedTimerPlatform timers(clock);
    BenchStation station(clock, timers, dir);
    if (!station.Install()) {
        std::fprintf(stderr, "the simulated unit did not answer\n");
        return 1;
    }
    const auto started = std::chrono::steady_clock::now();
    const double cpuStart = CpuSeconds();
    long readings = 0;
    bench::RunOnVirtualTime(station, clock, timers, hours,
                            [&] { readings += station.TakeReadings(); });
    const double real =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("virtual hours      %.1f\n", hours);
    std::printf("real seconds       %.2f\n", real);
    std::printf("cpu seconds        %.2f\n", CpuSeconds() - cpuStart);
    std::printf("probe readings     %ld\n", readings);
    std::printf("blocks stored      %ld (100 probes each)\n",
                StoredBlocks(station.state.paths.DataDirectory(kModeNormal)));
    std::printf("rows refreshed     %ld\n", station.table.rows);
    std::printf("bytes to the unit  %llu\n",
                static_cast<unsigned long long>(station.unit->BytesFromHost()));
    station.monitoring.DiscardAsyncNetworkTimer();
    return 0;
}

int RunRealTime(const std::filesystem::path& dir, double seconds) {
    RealClock clock;
    acquisition::ClockTimerPlatform timers(clock);
    BenchStation station(clock, timers, dir);
    if (!station.Install()) {
        std::fprintf(stderr, "the simulated unit did not answer\n");
        return 1;
    }
    const double cpuStart = CpuSeconds();
    auto tick = std::chrono::steady_clock::now();
    long readings = 0;
    for (int second = 0; second < static_cast<int>(seconds); ++second) {
        tick += std::chrono::seconds(1);
        std::this_thread::sleep_until(tick);
        readings += station.TakeReadings();
        shell::SampleTimer(station.state, station.services);
        station.core.Serve();
    }
    const double cpu = CpuSeconds() - cpuStart;
    station.monitoring.DiscardAsyncNetworkTimer();
    std::printf("real seconds       %.0f\n", seconds);
    std::printf("cpu seconds        %.3f (%.3f %% of one core)\n", cpu, 100.0 * cpu / seconds);
    std::printf("max resident       %ld kB\n", MaxResidentKilobytes());
    std::printf("probe readings     %ld\n", readings);
    std::printf("rows refreshed     %ld\n", station.table.rows);
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    const std::string mode = argc > 1 ? argv[1] : "virtual";
    char pattern[] = "/tmp/qrv-monitoring-XXXXXX";
    const std::filesystem::path dir = mkdtemp(pattern);
    int result = 2;
    if (mode == "virtual") {
        result = RunVirtual(dir, argc > 2 ? std::atof(argv[2]) : 24.0);
    } else if (mode == "realtime") {
        result = RunRealTime(dir, argc > 2 ? std::atof(argv[2]) : 60.0);
    } else {
        std::fprintf(stderr, "usage: monitoring_bench virtual [hours] | realtime [seconds]\n");
    }
    std::filesystem::remove_all(dir);
    return result;
}
