#pragma once

// The station of the benchmarks: 100 probes on the simulated unit, without
// its window, its alarms far enough that they come now and then.

#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#include "app/shell/results_table.h"
#include "feed/live_feed.h"
#include "runtime/program_launcher.h"
#include "runtime/program_log_file.h"
#include "runtime/silent_status_display.h"
#include "sim/network_file.h"
#include "station/display_timer.h"
#include "station/station_core.h"
#include "station/station_events.h"
#include "station/status_fields.h"
#include "support/quiet_station.h"
#include "support/scripted_dialogs.h"
#include "support/stepped_timer_platform.h"

namespace qrv::bench {

// 100 probes, 34 on the first line and 33 on the others: temperatures that
// swing through the day, some humidity probes and door contacts.
inline std::string HundredProbes() {
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

inline PortMap SimulatorOnCom1() {
    PortMap map;
    map.Set(1, "simulator:bench");
    return map;
}

struct BenchStation {
    // network: a network file's text, the mixed hundred probes unless given.
    BenchStation(Clock& clockIn, acquisition::PeriodicTimerPlatform& timers,
                 const std::filesystem::path& dir, const std::string& network = HundredProbes())
        : clock(clockIn),
          registry(clock),
          unit(sim::BuildNetwork(nlohmann::json::parse(network))),
          ports(SimulatorOnCom1(), registry.Factory()),
          programLog(StationPaths{dir}.LogFileName(), clock),
          core(StationPaths{dir}, {clock, dialogs, display, programLog, editor, panel},
               {ports, launcher, timers}) {
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
        if (session.StartOneWireSession() != SessionStatus::kOk ||
            session.ZoekNodexNumbers() != SessionStatus::kOk) {
            return false;
        }
        state.NetWorkInstalled = 1;
        shell::InitTheResultsTable(state, table, display);
        services.networkTimer.StartNetworkTimer();
        shell::AnnounceStoreDue(services, "network installed");
        return true;
    }

    // Probe readings since the last call, as the live feed told them.
    long TakeReadings() {
        long count = 0;
        for (const LiveEvent& event : readings.Drain().events) {
            count += event.kind == LiveEventKind::kReading ? 1 : 0;
        }
        return count;
    }

    Clock& clock;
    sim::SimulatorRegistry registry;
    std::shared_ptr<sim::SimulatedNodex> unit;
    SerialPortProvider ports;
    ScriptedDialogs dialogs;
    SilentStatusDisplay display;
    ProgramLogFile programLog;
    NoEditor editor;
    NoPanel panel;
    PosixProgramLauncher launcher;
    CountingTable table;
    shell::StationCore core;
    shell::StationState& state{core.State()};
    NodexSession& session{core.Session()};
    shell::LiveMonitoring& monitoring{core.Monitoring()};
    const shell::ShellServices& services{core.Services()};
    // Large enough for a day of readings between two takes.
    FeedSubscription readings{monitoring.Feed().Subscribe(1 << 16)};
};

inline double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs the station on virtual time for the given hours: the network timer's
// ticks as they fall due, and a display tick each second, like a window's
// timer (a late one is not repeated). beforeDisplay runs before each display
// tick, to count what the ticks since the previous one published.
inline void RunOnVirtualTime(BenchStation& station, VirtualClock& clock,
                             acquisition::SteppedTimerPlatform& timers, double hours,
                             const std::function<void()>& beforeDisplay) {
    const double end = clock.Timer() + hours * 3600.0;
    double nextDisplay = std::floor(clock.Timer()) + 1.0;
    while (true) {
        const double next = std::min(timers.NextDeadline(), nextDisplay);
        if (next > end) {
            break;
        }
        clock.Advance(std::max(0.0, next - clock.Timer()));
        timers.RunDue();
        if (clock.Timer() + 5e-7 >= nextDisplay) {
            beforeDisplay();
            shell::SampleTimer(station.state, station.services);
            station.core.Serve();
            nextDisplay = std::max(nextDisplay + 1.0, std::floor(clock.Timer()) + 1.0);
        }
    }
}

}  // namespace qrv::bench
