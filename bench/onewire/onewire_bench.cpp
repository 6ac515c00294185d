// Readings of each family and the search of the lines, in virtual time on the
// simulated unit at 9600 baud (every serial character, reset, slot and byte
// charged at its real duration). The reported time is virtual time; the
// counters give the bytes sent to the adapter per reading or search.
#include <benchmark/benchmark.h>

#include "onewire/families.h"
#include "onewire/nodex_session.h"
#include "onewire/onewire_driver.h"
#include "sim/humidity_probe.h"
#include "sim/network_file.h"
#include "sim/switch_devices.h"
#include "sim/temperature_probe.h"

namespace qrv {
namespace {

struct Bench {
    explicit Bench(std::shared_ptr<sim::SimulatedNodex> unitIn)
        : unit(std::move(unitIn)),
          ports(Map(), registry.Factory()),
          driver(ports, clock),
          session(driver, ports, clock) {
        registry.Install("simulator:bench", unit);
        session.SerialPort = 1;
        session.StartOneWireSession();
        session.ZoekNodexNumbers();
        session.Zet2480TimingToLongCable();
    }
    static PortMap Map() {
        PortMap map;
        map.Set(1, "simulator:bench");
        return map;
    }

    VirtualClock clock;
    sim::SimulatorRegistry registry{clock};
    std::shared_ptr<sim::SimulatedNodex> unit;
    SerialPortProvider ports;
    OneWireDriver driver;
    NodexSession session;
};

RomCode Code(const sim::Rom& rom) {
    RomCode code{};
    std::copy(rom.begin(), rom.end(), code.begin());
    return code;
}

// One probe of the sample network per family, read on its line as the
// acquisition cycle does: line switching, selection, conversion, read.
void ReadFamily(benchmark::State& state, const std::string& kind, int line) {
    Bench bench(sim::MakeSampleNetwork());
    sim::Rom rom{};
    for (const auto& [deviceLine, device] : bench.unit->Devices()) {
        if (deviceLine == line && device->Kind() == kind) {
            rom = device->GetRom();
        }
    }
    const RomCode code = Code(rom);
    std::uint64_t bytes = 0;
    double value = 0;
    for (auto _ : state) {
        // Another line first, so that every reading switches lines.
        bench.session.SelectLine(line % 3 + 1);
        const std::uint64_t afterSwitch = bench.unit->BytesFromHost();
        const double switched = bench.clock.Timer();
        value = ReadProbe(bench.session, line, code).value;
        benchmark::DoNotOptimize(value);
        state.SetIterationTime(bench.clock.Timer() - switched);
        bytes += bench.unit->BytesFromHost() - afterSwitch;
    }
    state.counters["bytes_to_adapter"] =
        benchmark::Counter(static_cast<double>(bytes), benchmark::Counter::kAvgIterations);
    state.counters["value"] = value;
}

void BM_ReadDs18b20(benchmark::State& state) {
    ReadFamily(state, "DS18B20", 1);
}
void BM_ReadDs18s20(benchmark::State& state) {
    ReadFamily(state, "DS18S20", 1);
}
void BM_ReadDs1820(benchmark::State& state) {
    ReadFamily(state, "DS1820", 2);
}
void BM_ReadDs2438Humidity(benchmark::State& state) {
    ReadFamily(state, "DS2438", 1);
}
void BM_ReadDs2406Switch(benchmark::State& state) {
    ReadFamily(state, "DS2406", 3);
}

// Three lines of ten probes each: select each line and search it to the end.
void BM_SearchThreeLinesOf30Probes(benchmark::State& state) {
    auto unit = std::make_shared<sim::SimulatedNodex>(
        sim::MakeRom(0x12, 1),
        std::vector<sim::Rom>{sim::MakeRom(0x1F, 1), sim::MakeRom(0x1F, 2), sim::MakeRom(0x1F, 3)});
    std::uint64_t serial = 0x1000;
    for (int line = 1; line <= 3; ++line) {
        for (int i = 0; i < 10; ++i) {
            unit->AddLineDevice(
                line, std::make_unique<sim::TemperatureProbe>(
                          sim::MakeRom(0x28, ++serial), sim::TemperatureProbe::Model::kDs18b20,
                          sim::ValueModel(20.0)));
        }
    }
    Bench bench(unit);
    std::uint64_t bytes = 0;
    int found = 0;
    for (auto _ : state) {
        const std::uint64_t before = unit->BytesFromHost();
        const double start = bench.clock.Timer();
        found = 0;
        for (int line = 1; line <= 3; ++line) {
            bench.session.SelectLine(line);
            for (int result = bench.driver.OwFirst(bench.session.Handle()); result > 0;
                 result = bench.driver.OwNext(bench.session.Handle())) {
                ++found;
            }
        }
        state.SetIterationTime(bench.clock.Timer() - start);
        bytes += unit->BytesFromHost() - before;
    }
    state.counters["bytes_to_adapter"] =
        benchmark::Counter(static_cast<double>(bytes), benchmark::Counter::kAvgIterations);
    // Every pass also meets the unit's four trunk devices.
    state.counters["devices_met"] = found;
}

BENCHMARK(BM_ReadDs18b20)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_ReadDs18s20)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_ReadDs1820)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_ReadDs2438Humidity)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_ReadDs2406Switch)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_SearchThreeLinesOf30Probes)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

}  // namespace
}  // namespace qrv

BENCHMARK_MAIN();
