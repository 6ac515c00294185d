// Installing a network on the simulated unit, in virtual time: the built-in
// sample network once with every probe known (one pass) and once with an
// active probe missing (two passes and the question), and 100 temperature
// probes on three lines. Prints virtual time, real time and serial bytes, and
// the budget: the fixed waits (port check, lamp blinking, session restart),
// the line searches and the first readings of each line's probes, each
// measured on its own, plus 10 %.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include <nlohmann/json.hpp>

#include <unistd.h>

#include "onewire/families.h"
#include "onewire/line_readings.h"
#include "onewire/nodex_session.h"
#include "onewire/onewire_driver.h"
#include "onewire/port_check.h"
#include "onewire/unit_outputs.h"
#include "runtime/program_launcher.h"
#include "sensors/families.h"
#include "sensors/sensor_file.h"
#include "sim/network_file.h"
#include "sim/sample_probe_table.h"
#include "station/station_commands.h"
#include "station/station_core.h"
#include "support/quiet_station.h"
#include "support/recording_status_display.h"
#include "support/scripted_dialogs.h"
#include "support/stepped_timer_platform.h"
#include "support/with_network_timer.h"

namespace qrv {
namespace {

constexpr double kBudgetMargin = 1.10;

using bench::NoEditor;
using bench::NoLog;
using bench::NoPanel;

PortMap Map() {
    PortMap map;
    map.Set(1, "simulator:bench");
    return map;
}

// 100 temperature probes, 34 on the first line and 33 on the others.
std::shared_ptr<sim::SimulatedNodex> HundredProbes() {
    nlohmann::json lines = nlohmann::json::array(
        {nlohmann::json::array(), nlohmann::json::array(), nlohmann::json::array()});
    for (int probe = 0; probe < 100; ++probe) {
        lines[static_cast<std::size_t>(probe % 3)].push_back(
            {{"type", "DS18B20"}, {"temperature", 2 + probe % 5}});
    }
    return sim::BuildNetwork({{"lines", lines}});
}

using UnitMaker = std::shared_ptr<sim::SimulatedNodex> (*)();

// A unit on COM1 with the station's driver and session, on virtual time.
struct Rig {
    explicit Rig(UnitMaker make) : unit(make()), ports(Map(), registry.Factory()) {
        registry.Install("simulator:bench", unit);
        session.SerialPort = 1;
    }
    std::uint64_t Bytes() const { return unit->BytesFromHost() + unit->BytesToHost(); }

    VirtualClock clock;
    sim::SimulatorRegistry registry{clock};
    std::shared_ptr<sim::SimulatedNodex> unit;
    SerialPortProvider ports;
    OneWireDriver driver{ports, clock};
    NodexSession session{driver, ports, clock};
};

struct Budget {
    double fixed = 0;     // port check, session start, lamps, restart
    double searches = 0;  // the three line searches of one pass
    double readings = 0;  // one reading of every probe
    double For(int passes) const { return fixed + passes * (searches + readings); }
};

template <typename F>
double Timed(Rig& rig, F&& work) {
    const double start = rig.clock.Timer();
    work();
    return rig.clock.Timer() - start;
}

Budget MeasureBudget(UnitMaker make) {
    Rig rig(make);
    NodexSession& session = rig.session;
    Budget budget;
    budget.fixed += Timed(rig, [&] { CheckSerialPortConnection(rig.ports, rig.clock, 1); });
    budget.fixed += Timed(rig, [&] {
        session.StartOneWireSession();
        session.ZoekNodexNumbers();
        AlarmRelaisOff(session);
        OranjeLedOn(session);
        session.SetCableTiming2480(1);
    });
    budget.fixed += Timed(rig, [&] {
        AlarmRelaisOff(session);
        RedLedOff(session);
        for (int blink = 0; blink < 21; ++blink) {
            OranjeLedOn(session);
            OranjeLedOff(session);
        }
    });
    budget.fixed += Timed(rig, [&] {
        session.StopOneWireSession();
        rig.clock.Delay(1.0);
        session.StartOneWireSession();
        session.SetCableTiming2480(1);
    });
    for (int line = 1; line <= 3; ++line) {
        std::vector<RomCode> probes;
        budget.searches += Timed(rig, [&] {
            session.SelectLine(line);
            for (int found = rig.driver.OwFirst(session.Handle()); found > 0;
                 found = rig.driver.OwNext(session.Handle())) {
                RomCode rom{};
                rig.driver.OwRom(session.Handle(), rom);
                probes.push_back(rom);
            }
        });
        std::erase_if(probes, [&](const RomCode& rom) {
            return !IsProbeFamily(rom[0]) || rom == session.Nodex2406Rom;
        });
        budget.readings += Timed(rig, [&] { ReadLineProbes(session, line, probes); });
    }
    return budget;
}

struct Result {
    double virtualSeconds;
    double realSeconds;
    std::uint64_t bytes;
    int popups;
    bool installed;
};

Result Install(UnitMaker make, bool withMissingProbe) {
    Rig rig(make);
    const std::filesystem::path station = std::filesystem::temp_directory_path() /
                                          ("quorvanel-install-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(station);
    ScriptedDialogs dialogs;
    RecordingStatusDisplay display;
    NoLog log;
    NoEditor editor;
    NoPanel panel;
    PosixProgramLauncher launcher;
    acquisition::SteppedTimerPlatform timers(rig.clock);
    shell::StationCore core(StationPaths{station},
                            {rig.clock, dialogs, display, log, editor, panel},
                            {rig.ports, launcher, timers});
    shell::StationState& state = core.State();
    state.WantedUserMode = kModeNormal;
    // The installation alone is measured: acquisition is never started.
    struct NoAcquisition final : shell::NetworkTimerControl {
        void StopNetworkTimer() override {}
        void StartNetworkTimer() override {}
    } networkTimer;
    const shell::ShellServices services = testing::WithNetworkTimer(core.Services(), networkTimer);
    SensorTable table = make == &sim::MakeSampleNetwork ? sim::SampleProbeTable() : SensorTable{};
    if (withMissingProbe) {
        const int index = table.Append1820ToDataStruct({0x28, 1, 2, 3, 4, 5, 6, 0x9B}, 1);
        table.SensorArray[static_cast<std::size_t>(index)].Name = "Missing";
        dialogs.QueueButton(2);  // Off
    }
    WriteSensorFile(state.paths.SnsFileName(kModeNormal), table, rig.clock, dialogs, log, 0);

    const auto realStart = std::chrono::steady_clock::now();
    const double virtualStart = rig.clock.Timer();
    shell::InstallNetwork(state, services, shell::Via::kWindow);
    const double realSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - realStart).count();
    Result result{rig.clock.Timer() - virtualStart, realSeconds, rig.Bytes(),
                  static_cast<int>(dialogs.Popups().size()), state.NetWorkInstalled == 1};
    std::filesystem::remove_all(station);
    return result;
}

// realLimit: what simulating the unit may cost on this machine.
int Report(const char* what, const Result& result, double budget, double realLimit) {
    const double limit = budget * kBudgetMargin;
    std::printf(
        "%-32s virtual %7.3f s (budget %7.3f s, limit %7.3f s)  real %6.3f s  serial bytes %6llu "
        " popups %d  %s\n",
        what, result.virtualSeconds, budget, limit, result.realSeconds,
        static_cast<unsigned long long>(result.bytes), result.popups,
        result.installed && result.virtualSeconds <= limit && result.realSeconds < realLimit
            ? "within budget"
            : "OVER BUDGET");
    return result.installed && result.virtualSeconds <= limit && result.realSeconds < realLimit ? 0
                                                                                                : 1;
}

}  // namespace
}  // namespace qrv

int main() {
    using namespace qrv;
    int failures = 0;
    const Budget sample = MeasureBudget(&sim::MakeSampleNetwork);
    std::printf(
        "sample network parts: fixed %.3f s, line searches %.3f s, readings %.3f s per pass\n",
        sample.fixed, sample.searches, sample.readings);
    failures += Report("sample network, all known", Install(&sim::MakeSampleNetwork, false),
                       sample.For(1), 1.0);
    failures += Report("one active probe missing", Install(&sim::MakeSampleNetwork, true),
                       sample.For(2), 1.0);
    const Budget hundred = MeasureBudget(&HundredProbes);
    std::printf("100 probes parts: fixed %.3f s, line searches %.3f s, readings %.3f s per pass\n",
                hundred.fixed, hundred.searches, hundred.readings);
    failures +=
        Report("100 probes, first start", Install(&HundredProbes, false), hundred.For(1), 3.0);
    return failures == 0 ? EXIT_SUCCESS : EXIT_FAILURE;
}
