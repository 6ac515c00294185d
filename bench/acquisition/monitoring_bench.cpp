// Measures live monitoring with 100 probes on the simulated unit, the
// station without its window: the network timer with acquisition, alarms
// and the alarm file, and the display timer with the stores and row updates.
//
//   monitoring_bench virtual [hours]   virtual time as fast as it goes
//                                      (target: 24 hours in 10 s)
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
#include "acquisition/stepped_timer_platform.h"
#include "app/shell/display_timer.h"
#include "app/shell/live_monitoring.h"
#include "app/shell/results_table.h"
#include "app/shell/status_fields.h"
#include "app/shell/status_reporting_log.h"
#include "onewire/nodex_session.h"
#include "onewire/onewire_driver.h"
#include "runtime/date_strings.h"
#include "runtime/program_launcher.h"
#include "runtime/program_log_file.h"
#include "runtime/scripted_dialogs.h"
#include "runtime/silent_status_display.h"
#include "sim/network_file.h"
#include "support/quiet_station.h"

namespace {

using namespace qrv;

// 100 probes, 34 on the first line and 33 on the others: temperatures that
// swing through the day, some humidity probes and door contacts.
std::string HundredProbes() {
    std::ostringstream json;
    json << R"({"lines": [)";
    int probe = 0;
    for (int line = 0; line < 3; ++line) {
        json << (line > 0 ? "," : "") << "[";
        const int count = line == 0 ? 34 : 33;
        for (int i = 0; i < count; ++i, ++probe) {
            json << (i > 0 ? "," : "");
            if (i % 11 == 9) {
                json << R"({"type": "DS2438", "humidity": 55, "temperature": 20})";
            } else if (i % 11 == 10) {
                json << R"({"type": "DS2406", "input": 1})";
            } else {
                json
                    << R"({"type": "DS18B20", "temperature": {"sine": {"mean": 20, "amplitude": 8,)"
                    << R"( "period": 86400, "phase": )" << probe * 600 << "}}}";
            }
        }
        json << "]";
    }
    json << "]}";
    return json.str();
}

PortMap SimulatorOnCom1() {
    PortMap map;
    map.Set(1, "simulator:bench");
    return map;
}

struct BenchStation {
    BenchStation(Clock& clockIn, acquisition::PeriodicTimerPlatform& timers,
                 const std::filesystem::path& dir)
        : clock(clockIn),
          registry(clock),
          unit(sim::BuildNetwork(nlohmann::json::parse(HundredProbes()))),
          ports(SimulatorOnCom1(), registry.Factory()),
          driver(ports, clock),
          state(StationPaths{dir}),
          programLog(state.paths.LogFileName(), clock),
          log(programLog, display, state),
          session(driver, ports, clock, &display, &dialogs, &programLog),
          monitoring(state, {clock, display, log, session, launcher, timers}),
          services{clock,   dialogs,    display, log,        editor, ports,
                   session, monitoring, panel,   monitoring, table} {
        registry.Install("simulator:bench", unit);
        session.SerialPort = 1;
        state.WantedUserMode = kModeNormal;
        shell::ResumeDisplayTimer(state);
        int index = 0;
        for (const auto& [line, device] : unit->Devices()) {
            if (line == 0 || device->Kind() == "DS2405") {
                continue;
            }
            RomCode rom{};
            for (std::size_t i = 0; i < rom.size(); ++i) {
                rom[i] = device->GetRom()[i];
            }
            index = state.sensors.Lock()->Append1820ToDataStruct(rom, line);
            state.sensors.Lock()->DefineSensorTypeAndUnits(index);
            SensorRecord& record =
                state.sensors.Lock()->SensorArray[static_cast<std::size_t>(index)];
            record.Name = "Probe " + std::to_string(index + 1);
            record.AlarmLow = record.TripLow = 0;
            record.AlarmHigh = 26;
            record.TripHigh = 25;
            record.AlarmDelay = 300;
            record.TripDelay = 120;
        }
        SystemSettings settings = state.settings;
        settings.KeuzeSampleTime = 1;
        state.settingsOwner.Replace(settings);
    }

    bool Install() {
        monitoring.InitAsyncNetworkTimer();
        services.networkTimer.StopNetworkTimer();
        if (session.StartOneWireSession() < 1 || session.ZoekNodexNumbers() != 0) {
            return false;
        }
        state.NetWorkInstalled = 1;
        shell::InitTheResultsTable(state, services);
        services.networkTimer.StartNetworkTimer();
        state.StorageToDiskWanted = 1;
        return true;
    }

    // Probe readings since the last call, counted before the display tick
    // consumes them.
    long TakeReadings() {
        long count = 0;
        const SensorTable table = state.sensors.Copy();
        for (const SensorRecord& record : table.SensorArray) {
            count += record.NewValueCount;
        }
        return count;
    }

    Clock& clock;
    sim::SimulatorRegistry registry;
    std::shared_ptr<sim::SimulatedNodex> unit;
    SerialPortProvider ports;
    OneWireDriver driver;
    ScriptedDialogs dialogs;
    SilentStatusDisplay display;
    shell::StationState state;
    ProgramLogFile programLog;
    shell::StatusReportingLog log;
    bench::NoEditor editor;
    bench::NoPanel panel;
    NodexSession session;
    PosixProgramLauncher launcher;
    bench::CountingTable table;
    bench::NoView view;
    shell::LiveMonitoring monitoring;
    shell::ShellServices services;
};

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

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
    const double end = clock.Timer() + hours * 3600.0;
    double nextDisplay = std::floor(clock.Timer()) + 1.0;
    long readings = 0;
    while (true) {
        const double next = std::min(timers.NextDeadline(), nextDisplay);
        if (next > end) {
            break;
        }
        if (clock.Timer() < next) {
            clock.Advance(next - clock.Timer());
        }
        timers.RunDue();
        if (clock.Timer() + 5e-7 >= nextDisplay) {
            readings += station.TakeReadings();
            shell::SampleTimer(station.state, station.services, station.view);
            nextDisplay = std::max(nextDisplay + 1.0, std::floor(clock.Timer()) + 1.0);
        }
    }
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
        shell::SampleTimer(station.state, station.services, station.view);
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
