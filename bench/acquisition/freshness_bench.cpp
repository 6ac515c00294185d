// Measures how fresh every reading is kept: the longest interval between two
// good readings of any of 100 probes on the simulated unit (three lines), by
// the times of the station's own readings, in virtual time, one probe a
// measurement step and with [acquisition] simultaneous_conversion; for 100
// temperature probes and for the benchmarks' mixed hundred, 18 of them
// humidity and switch probes (each of which costs a reading of its own).
//
//   freshness_bench [minutes]   virtual minutes of monitoring per case (20)
//                               (target, 100 temperature probes with
//                               simultaneous conversion: 10 s)

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "support/hundred_probe_station.h"

namespace {

using namespace qrv;

double DaySeconds(const LocalDateTime& time) {
    return time.hour * 3600.0 + time.minute * 60.0 + time.second + time.millisecond / 1000.0;
}

struct Freshness {
    double longest = 0.0;
    int slowestProbe = -1;
    long readings = 0;
    int probesRead = 0;
};

// 100 DS18B20 with their own supply on three lines (parasite-powered ones
// would never convert one at a time, without the strong pull-up).
std::string TemperatureProbes() {
    std::string text = R"({"lines": [)";
    for (int line = 0; line < 3; ++line) {
        text += line == 0 ? "[" : ", [";
        for (int i = 0; i < (line == 0 ? 34 : 33); ++i) {
            text += std::string(i == 0 ? "" : ", ") + R"({"type": "DS18B20", "temperature": )" +
                    std::to_string(2 + i % 5) + "}";
        }
        text += "]";
    }
    return text + "]}";
}

Freshness Measure(const std::filesystem::path& dir, const std::string& network, bool simultaneous,
                  double minutes) {
    std::filesystem::create_directories(dir);
    // Noon, so that no run crosses midnight.
    VirtualClock clock({2026, 1, 5, 12, 0, 30, 0});
    acquisition::SteppedTimerPlatform timers(clock);
    bench::BenchStation station(clock, timers, dir, network);
    station.monitoring.Acquisition().Cycle().SetSimultaneousConversion(simultaneous);
    Freshness result;
    if (!station.Install()) {
        std::fprintf(stderr, "the simulated unit did not answer\n");
        std::exit(1);
    }
    const double start = DaySeconds(clock.Now());
    std::map<int, double> lastRead;
    const auto take = [&] {
        for (const LiveEvent& event : station.readings.Drain().events) {
            if (event.kind != LiveEventKind::kReading) {
                continue;
            }
            ++result.readings;
            const double at = DaySeconds(event.time);
            const auto found = lastRead.try_emplace(event.index, start).first;
            if (at - found->second > result.longest) {
                result.longest = at - found->second;
                result.slowestProbe = event.index;
            }
            found->second = at;
        }
    };
    bench::RunOnVirtualTime(station, clock, timers, minutes / 60.0, take);
    take();
    // A probe never read counts from the start to the end.
    const double end = DaySeconds(clock.Now());
    const int probes = station.state.sensors.Lock()->GetMax1820Index() + 1;
    for (int index = 0; index < probes; ++index) {
        const auto found = lastRead.find(index);
        const double since = found == lastRead.end() ? start : found->second;
        if (end - since > result.longest) {
            result.longest = end - since;
            result.slowestProbe = index;
        }
    }
    result.probesRead = static_cast<int>(lastRead.size());
    station.monitoring.DiscardAsyncNetworkTimer();
    return result;
}

void Print(const char* mode, const Freshness& f) {
    std::printf("%-28s longest interval %.1f s (probe %d), %d probes read, %ld readings\n", mode,
                f.longest, f.slowestProbe + 1, f.probesRead, f.readings);
}

}  // namespace

int main(int argc, char** argv) {
    const double minutes = argc > 1 ? std::atof(argv[1]) : 20.0;
    if (minutes <= 0) {
        std::fprintf(stderr, "usage: freshness_bench [virtual minutes per mode]\n");
        return 2;
    }
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("qrv-freshness-" + std::to_string(getpid()));
    const auto started = std::chrono::steady_clock::now();
    const std::string temperatures = TemperatureProbes();
    const std::string mixed = bench::HundredProbes();
    const Freshness single = Measure(dir / "1", temperatures, false, minutes);
    const Freshness together = Measure(dir / "2", temperatures, true, minutes);
    const Freshness mixedSingle = Measure(dir / "3", mixed, false, minutes);
    const Freshness mixedTogether = Measure(dir / "4", mixed, true, minutes);
    std::filesystem::remove_all(dir);
    std::printf("virtual minutes per case     %.0f\n", minutes);
    std::printf("100 temperature probes:\n");
    Print("  one probe a step:", single);
    Print("  simultaneous conversion:", together);
    std::printf("82 temperature, 9 humidity, 9 switch probes:\n");
    Print("  mixed, one probe a step:", mixedSingle);
    Print("  mixed, simultaneous:", mixedTogether);
    std::printf("real seconds                 %.2f\n",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    return 0;
}
