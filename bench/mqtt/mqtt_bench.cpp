// Measures the MQTT publisher beside live monitoring of 100 probes on the
// simulated unit. Start a broker first, e.g. `mosquitto -p 18830`.
//
//   mqtt_bench virtual HOURS PORT   virtual time as fast as it goes: CPU
//                                   per published reading (PORT 0: no
//                                   publisher; a port nobody listens on:
//                                   the broker down)
//   mqtt_bench latency SECONDS PORT real time: from a reading in the feed
//                                   to its state at a subscriber (target:
//                                   at most 100 ms on loopback)
//   mqtt_bench idle SECONDS PORT    real time: the station's CPU with the
//                                   publisher (broker up or down)
//   mqtt_bench publish COUNT PORT   the publisher alone: COUNT readings of
//                                   the 100 probes pushed into the feed, CPU
//                                   until all are handed to the broker

#include <mosquitto.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <thread>

#include "acquisition/clock_timer_platform.h"
#include "mqtt/mqtt_publisher.h"
#include "mqtt/probe_payloads.h"
#include "sensors/rom_text.h"
#include "support/hundred_probe_station.h"
#include "support/stepped_timer_platform.h"

namespace {

using namespace qrv;
using SteadyTime = std::chrono::steady_clock::time_point;

std::unique_ptr<mqtt::MqttPublisher> Publisher(bench::BenchStation& station, int port,
                                               EventLog& log) {
    if (port == 0) {
        return nullptr;
    }
    mqtt::MqttClientSettings settings;
    settings.host = "127.0.0.1";
    settings.port = port;
    settings.clientId = "quorvanel-bench";
    settings.identity = {"quorvanel", "bench", "homeassistant", "bench"};
    shell::LiveMonitoring& monitoring = station.monitoring;
    return std::make_unique<mqtt::MqttPublisher>(
        settings, monitoring.Feed(), station.state.sensors,
        [&monitoring] { return monitoring.Acquisition().Alarms().TimeAlarms().Standing(); }, log,
        station.clock);
}

int RunVirtual(const std::filesystem::path& dir, double hours, int port) {
    VirtualClock clock({2026, 1, 5, 0, 0, 30, 0});
    acquisition::SteppedTimerPlatform timers(clock);
    bench::BenchStation station(clock, timers, dir);
    bench::NoLog log;
    if (!station.Install()) {
        std::fprintf(stderr, "the simulated unit did not answer\n");
        return 1;
    }
    FeedSubscription feed = station.monitoring.Feed().Subscribe(100000);
    const double cpuStart = bench::CpuSeconds();
    auto publisher = Publisher(station, port, log);
    long readings = 0;
    bench::RunOnVirtualTime(station, clock, timers, hours, [&] {
        for (const LiveEvent& event : feed.Drain().events) {
            readings += event.kind == LiveEventKind::kReading ? 1 : 0;
        }
    });
    // The publisher may still be behind the events of the last moments.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (publisher && publisher->Connected() &&
           publisher->Published() < static_cast<std::uint64_t>(readings) &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const std::uint64_t published = publisher ? publisher->Published() : 0;
    const bool connected = publisher && publisher->Connected();
    publisher.reset();
    const double cpu = bench::CpuSeconds() - cpuStart;
    station.monitoring.DiscardAsyncNetworkTimer();
    std::printf("virtual hours      %.1f\n", hours);
    std::printf("broker             %s\n",
                port == 0 ? "none" : (connected ? "connected" : "not connected"));
    std::printf("probe readings     %ld\n", readings);
    std::printf("messages published %llu\n", static_cast<unsigned long long>(published));
    std::printf("cpu seconds        %.3f (all threads)\n", cpu);
    std::printf("cpu per reading    %.2f us (station and publisher)\n", 1e6 * cpu / readings);
    return 0;
}

// The arrival of each state at a subscriber, by its topic and reading time.
class Arrivals {
  public:
    explicit Arrivals(int port) {
        mosquitto_lib_init();
        client_ = mosquitto_new(nullptr, true, this);
        mosquitto_message_callback_set(
            client_, [](mosquitto*, void* self, const mosquitto_message* message) {
                auto* arrivals = static_cast<Arrivals*>(self);
                const std::string payload(static_cast<const char*>(message->payload),
                                          static_cast<std::size_t>(message->payloadlen));
                const auto time = payload.find(R"("time":")");
                if (time == std::string::npos) {
                    return;
                }
                const std::string key = std::string(message->topic) + payload.substr(time + 8, 19);
                const std::lock_guard lock(arrivals->mutex_);
                arrivals->times_.emplace(key, std::chrono::steady_clock::now());
            });
        mosquitto_connect(client_, "127.0.0.1", port, 60);
        mosquitto_subscribe(client_, nullptr, "quorvanel/bench/probe/+/state", 0);
        mosquitto_loop_start(client_);
    }
    ~Arrivals() {
        mosquitto_disconnect(client_);
        mosquitto_loop_stop(client_, true);
        mosquitto_destroy(client_);
        mosquitto_lib_cleanup();
    }
    std::optional<SteadyTime> Of(const std::string& key) {
        const std::lock_guard lock(mutex_);
        const auto at = times_.find(key);
        return at == times_.end() ? std::nullopt : std::optional(at->second);
    }

  private:
    mosquitto* client_;
    std::mutex mutex_;
    std::map<std::string, SteadyTime> times_;
};

int RunRealTime(const std::filesystem::path& dir, double seconds, int port, bool latency) {
    RealClock clock;
    acquisition::ClockTimerPlatform timers(clock);
    bench::BenchStation station(clock, timers, dir);
    bench::NoLog log;
    if (!station.Install()) {
        std::fprintf(stderr, "the simulated unit did not answer\n");
        return 1;
    }
    std::unique_ptr<Arrivals> arrivals = latency ? std::make_unique<Arrivals>(port) : nullptr;
    std::mutex mutex;
    std::map<std::string, SteadyTime> readings;
    // The feed's own moment for each reading, taken on a subscriber's thread
    // as soon as the event is out.
    FeedThread feedTimes(station.monitoring.Feed().Subscribe(), [&](const LiveEvent& event) {
        if (event.kind == LiveEventKind::kReading) {
            const std::lock_guard lock(mutex);
            readings.emplace("quorvanel/bench/probe/" + RomToHex(event.rom) + "/state" +
                                 mqtt::IsoTime(event.time),
                             std::chrono::steady_clock::now());
        }
    });
    auto publisher = Publisher(station, port, log);
    const double cpuStart = bench::CpuSeconds();
    auto tick = std::chrono::steady_clock::now();
    for (int second = 0; second < static_cast<int>(seconds); ++second) {
        tick += std::chrono::seconds(1);
        std::this_thread::sleep_until(tick);
        station.TakeReadings();
        shell::SampleTimer(station.state, station.services);
        station.core.Serve();
    }
    const double cpu = bench::CpuSeconds() - cpuStart;
    std::printf("real seconds       %.0f\n", seconds);
    std::printf("broker             %s\n",
                publisher && publisher->Connected() ? "connected" : "not connected");
    std::printf("cpu seconds        %.3f (%.3f %% of one core, all threads)\n", cpu,
                100.0 * cpu / seconds);
    if (arrivals) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        std::vector<double> delays;
        std::size_t missing = 0;
        const std::lock_guard lock(mutex);
        for (const auto& [key, published] : readings) {
            if (const auto arrived = arrivals->Of(key)) {
                delays.push_back(
                    std::chrono::duration<double, std::milli>(*arrived - published).count());
            } else {
                ++missing;
            }
        }
        std::sort(delays.begin(), delays.end());
        if (!delays.empty()) {
            std::printf("readings timed     %zu (%zu not seen)\n", delays.size(), missing);
            std::printf("reading to broker  median %.2f ms, 99 %% %.2f ms, max %.2f ms\n",
                        delays[delays.size() / 2], delays[delays.size() * 99 / 100], delays.back());
        }
    }
    publisher.reset();
    station.monitoring.DiscardAsyncNetworkTimer();
    return 0;
}

int RunPublish(const std::filesystem::path& dir, long count, int port) {
    VirtualClock clock({2026, 1, 5, 0, 0, 30, 0});
    acquisition::SteppedTimerPlatform timers(clock);
    bench::BenchStation station(clock, timers, dir);
    bench::NoLog log;
    const SensorTable table = station.state.sensors.Copy();
    auto publisher = Publisher(station, port, log);
    const auto connectDeadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!publisher->Connected() && std::chrono::steady_clock::now() < connectDeadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!publisher->Connected()) {
        std::fprintf(stderr, "no broker on port %d\n", port);
        return 1;
    }
    const std::uint64_t before = publisher->Published();
    const double cpuStart = bench::CpuSeconds();
    const auto started = std::chrono::steady_clock::now();
    const int probes = table.GetMax1820Index() + 1;
    for (long i = 0; i < count; ++i) {
        const int index = static_cast<int>(i % probes);
        SensorRecord record = table.SensorArray[static_cast<std::size_t>(index)];
        record.Value = 20.0 + static_cast<double>(i % 1000) / 100.0;
        clock.Advance(2.0);
        station.monitoring.Feed().Publish(
            ProbeEvent(LiveEventKind::kReading, clock.Now(), index, record));
        // Paced like a busy station, so that the feed's queue never overflows.
        while (static_cast<long>(publisher->Published() - before) < i - 1000) {
            std::this_thread::yield();
        }
    }
    while (static_cast<long>(publisher->Published() - before) < count) {
        std::this_thread::yield();
    }
    const double cpu = bench::CpuSeconds() - cpuStart;
    const double real =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    publisher.reset();
    std::printf("readings published %ld\n", count);
    std::printf("real seconds       %.2f (%.0f readings a second)\n", real, count / real);
    std::printf("cpu per reading    %.1f us (publisher, feed and the waiting loop)\n",
                1e6 * cpu / static_cast<double>(count));
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    const std::string mode = argc > 1 ? argv[1] : "";
    const double amount = argc > 2 ? std::atof(argv[2]) : 0.0;
    const int port = argc > 3 ? std::atoi(argv[3]) : -1;
    if ((mode != "virtual" && mode != "latency" && mode != "idle" && mode != "publish") ||
        amount <= 0 || port < 0) {
        std::fprintf(stderr,
                     "usage: mqtt_bench virtual HOURS PORT | latency SECONDS PORT | "
                     "idle SECONDS PORT | publish COUNT PORT\n");
        return 2;
    }
    char pattern[] = "/tmp/qrv-mqtt-bench-XXXXXX";
    const std::filesystem::path dir = mkdtemp(pattern);
    int result = 0;
    if (mode == "virtual") {
        result = RunVirtual(dir, amount, port);
    } else if (mode == "publish") {
        result = RunPublish(dir, static_cast<long>(amount), port);
    } else {
        result = RunRealTime(dir, amount, port, mode == "latency");
    }
    std::filesystem::remove_all(dir);
    return result;
}
