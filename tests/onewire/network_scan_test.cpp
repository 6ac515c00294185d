// The line search and the one-probe search of the installation, on the
// simulated unit, with probes plugged and unplugged while it runs.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <stdexcept>
#include <vector>

#include <nlohmann/json.hpp>

#include "onewire/families.h"
#include "onewire/network_scan.h"
#include "onewire/temperature.h"
#include "sensors/rom_text.h"
#include "sim/switch_devices.h"
#include "sim/temperature_probe.h"
#include "sim_station.h"

namespace qrv::testing {
namespace {

std::vector<sim::Rom> LineProbes(sim::SimulatedNodex& unit) {
    std::vector<sim::Rom> probes;
    for (const auto& [line, device] : unit.Devices()) {
        if (line > 0) {
            probes.push_back(device->GetRom());
        }
    }
    return probes;
}

TEST(NetworkScan, FindsEveryProbeOnItsLineAndSkipsTheUnitAndOtherFamilies) {
    SimStation station;
    station.unit->AddTrunkDevice(std::make_unique<sim::Ds2405Switch>(sim::MakeRom(0x05, 77)));
    station.Start();
    SensorTable table;
    std::vector<std::pair<std::string, bool>> announced;
    const ScanResult result =
        ScanTotalNetwork(station.session, table, [&](const SensorRecord& record, bool isNew) {
            announced.emplace_back(RomToHex(record.Rom), isNew);
        });

    EXPECT_EQ(result.probesFound, 15);
    EXPECT_TRUE(result.leftOut.empty());
    ASSERT_EQ(table.GetMax1820Index(), 14);
    EXPECT_EQ(announced.size(), 15u);
    for (int line = 1; line <= 3; ++line) {
        for (const std::string kind : {"DS18B20", "DS18S20", "DS1820", "DS2438", "DS2406"}) {
            const auto roms = RomsOf(*station.unit, line, kind);
            ASSERT_EQ(roms.size(), 1u);
            const int index = table.Find1820inDataStruct(ToRomCode(roms[0]));
            ASSERT_GE(index, 0) << kind << " on line " << line;
            const SensorRecord& record = table.SensorArray[static_cast<std::size_t>(index)];
            EXPECT_EQ(record.Line, 100 + line);
            EXPECT_EQ(record.FoundOnNetwork, 1);
            EXPECT_FALSE(IsErrorValue(record.Value)) << kind << " " << record.Value;
            EXPECT_NE(record.SensorType, kTypeUnknown);
        }
    }

    // Known now: a second scan appends nothing and keeps the lines.
    for (int index = 0; index <= 14; ++index) {
        table.SensorArray[static_cast<std::size_t>(index)].Line %= 100;
    }
    announced.clear();
    ScanTotalNetwork(station.session, table, [&](const SensorRecord& record, bool isNew) {
        announced.emplace_back(RomToHex(record.Rom), isNew);
    });
    EXPECT_EQ(table.GetMax1820Index(), 14);
    for (const auto& [rom, isNew] : announced) {
        EXPECT_FALSE(isNew) << rom;
    }
}

// Where each probe of the unit really is.
std::map<RomCode, int> TrueLines(sim::SimulatedNodex& unit) {
    std::map<RomCode, int> lines;
    for (const auto& [line, device] : unit.Devices()) {
        if (line > 0 && IsProbeFamily(device->GetRom()[0])) {
            lines[ToRomCode(device->GetRom())] = line;
        }
    }
    return lines;
}

// 0.4 s without traffic right after a switch command went out: longer than
// the switch and its retry take.
void DropAfterSwitch(SimStation& station, int coupler, std::uint8_t command) {
    const sim::Rom rom =
        RomsOf(*station.unit, 0, "DS2409").at(static_cast<std::size_t>(coupler - 1));
    sim::LinkFault drop;
    drop.after = MatchRomThen(rom, {command});
    drop.seconds = 0.4;
    station.unit->AddLinkFault(drop);
}

TEST(NetworkScan, ALinkLostAtALineSwitchFilesEveryProbeOnItsOwnLineOrOnNone) {
    for (int coupler = 1; coupler <= 3; ++coupler) {
        for (const std::uint8_t command : {std::uint8_t{0xA5}, std::uint8_t{0x66}}) {
            SCOPED_TRACE(::testing::Message()
                         << "coupler " << coupler << " command " << static_cast<int>(command));
            SimStation station;
            station.Start();
            const std::map<RomCode, int> trueLines = TrueLines(*station.unit);
            DropAfterSwitch(station, coupler, command);
            SensorTable table;
            std::vector<int> told;
            const ScanResult result =
                ScanTotalNetwork(station.session, table, {}, [&](int line, SessionStatus switched) {
                    EXPECT_NE(switched, SessionStatus::kOk);
                    told.push_back(line);
                });
            EXPECT_FALSE(result.linesNotSearched.empty());
            EXPECT_EQ(told, result.linesNotSearched);
            for (int index = 0; index <= table.GetMax1820Index(); ++index) {
                const SensorRecord& record = table.SensorArray[static_cast<std::size_t>(index)];
                EXPECT_EQ(record.Line - 100, trueLines.at(record.Rom)) << RomToHex(record.Rom);
            }
            // Every line that was searched was searched whole.
            for (const auto& [rom, line] : trueLines) {
                const bool searched =
                    std::find(result.linesNotSearched.begin(), result.linesNotSearched.end(),
                              line) == result.linesNotSearched.end();
                EXPECT_EQ(table.Find1820inDataStruct(rom) >= 0, searched) << RomToHex(rom);
            }
        }
    }
}

TEST(NetworkScan, AProbeKeepsItsLineWhenALaterScanCannotReachIt) {
    SimStation station;
    station.Start();
    SensorTable table;
    ScanTotalNetwork(station.session, table);
    ASSERT_EQ(table.GetMax1820Index(), 14);
    for (int index = 0; index <= 14; ++index) {
        table.SensorArray[static_cast<std::size_t>(index)].Line %= 100;
    }
    table.ClearAllFoundOnNetwork();
    DropAfterSwitch(station, 2, 0xA5);
    const ScanResult result = ScanTotalNetwork(station.session, table);
    ASSERT_FALSE(result.linesNotSearched.empty());
    EXPECT_EQ(result.linesNotSearched.front(), 2);
    const std::map<RomCode, int> trueLines = TrueLines(*station.unit);
    for (int index = 0; index <= 14; ++index) {
        const SensorRecord& record = table.SensorArray[static_cast<std::size_t>(index)];
        const int line = trueLines.at(record.Rom);
        EXPECT_EQ(record.Line, line) << RomToHex(record.Rom);
        const bool searched =
            std::find(result.linesNotSearched.begin(), result.linesNotSearched.end(), line) ==
            result.linesNotSearched.end();
        EXPECT_EQ(record.FoundOnNetwork, searched ? 1 : 0) << RomToHex(record.Rom);
    }
}

// A line of temperature probes of both families, calibrated and not, one
// at the power-on value's 85 degrees, with a humidity probe and a door
// contact between them, all at steady values.
constexpr const char* kSteadyLine = R"({"lines": [[
    {"type": "DS18B20", "temperature": 4.5, "th": 2, "tl": 38},
    {"type": "DS18S20", "temperature": 21.25},
    {"type": "DS2438", "humidity": 55, "temperature": 20},
    {"type": "DS1820", "temperature": -12.5, "th": 1, "tl": 250},
    {"type": "DS2406", "input": 1},
    {"type": "DS18S20", "temperature": 85.0},
    {"type": "DS18B20", "temperature": 36.0}], [], []]})";

// The probe the scan read at about that many degrees.
int ReadAt(const SensorTable& table, double celsius) {
    for (int index = 0; index <= table.GetMax1820Index(); ++index) {
        if (std::abs(table.SensorArray[static_cast<std::size_t>(index)].Value - celsius) < 0.5) {
            return index;
        }
    }
    throw std::invalid_argument("no probe at that temperature");
}

sim::TemperatureProbe& TemperatureProbeOf(sim::SimulatedNodex& unit, const RomCode& rom) {
    for (const auto& [line, device] : unit.Devices()) {
        if (ToRomCode(device->GetRom()) == rom) {
            return dynamic_cast<sim::TemperatureProbe&>(*device);
        }
    }
    throw std::invalid_argument("no such probe");
}

// What a temperature probe's record holds after a reading with this fault.
double Coded(ProbeFault fault) {
    return CodedValue(DeviceKind::kTemperature, Reading::Failed(fault));
}

// The first readings of a line come from one conversion of all its
// temperature probes, and are what a reading of each on its own gives.
TEST(NetworkScan, ALinesTemperatureProbesConvertOnceAndReadAsASingleReadingDoes) {
    SimStation station(sim::BuildNetwork(nlohmann::json::parse(kSteadyLine)));
    station.Start();
    SensorTable table;
    const double start = station.clock.Timer();
    ScanTotalNetwork(station.session, table);
    // One conversion shared, and one of its own for the probe whose 85
    // degrees look like a missed conversion: fewer than one each.
    EXPECT_LT(station.clock.Timer() - start, 5 * kConversionSleepSeconds);
    ASSERT_EQ(table.GetMax1820Index(), 6);
    int powerOnValues = 0;
    for (int index = 0; index <= 6; ++index) {
        const SensorRecord& record = table.SensorArray[static_cast<std::size_t>(index)];
        if (record.Value == Coded(ProbeFault::kPowerOnValue)) {
            ++powerOnValues;
            EXPECT_EQ(record.Rom[0], kFamilyDs1820);
        } else {
            EXPECT_FALSE(IsErrorValue(record.Value)) << RomToHex(record.Rom) << " " << record.Value;
        }
        EXPECT_DOUBLE_EQ(record.Value, CodedValue(DeviceKind::kTemperature,
                                                  ReadProbe(station.session, 1, record.Rom)))
            << RomToHex(record.Rom);
    }
    // The DS18S20 at 85 °C cannot be told from one whose conversion failed:
    // never taken for a temperature, either way.
    EXPECT_EQ(powerOnValues, 1);
}

// A conversion that does not end, or a scratchpad that comes back damaged,
// gives the result a reading on its own gives, and costs the line's other
// probes nothing but a conversion each.
TEST(NetworkScan, AProbeTheSharedConversionCannotReadGetsTheResultOfItsOwnReading) {
    SimStation station(sim::BuildNetwork(nlohmann::json::parse(kSteadyLine)));
    station.Start();
    SensorTable table;
    ScanTotalNetwork(station.session, table);
    ASSERT_EQ(table.GetMax1820Index(), 6);
    std::vector<double> steady;
    for (int index = 0; index <= 6; ++index) {
        steady.push_back(table.SensorArray[static_cast<std::size_t>(index)].Value);
    }
    const int damaged = ReadAt(table, 36.0);
    const int stuck = ReadAt(table, 21.25);
    const auto othersAsBefore = [&](int except) {
        for (int index = 0; index <= 6; ++index) {
            if (index != except) {
                EXPECT_DOUBLE_EQ(table.SensorArray[static_cast<std::size_t>(index)].Value,
                                 steady[static_cast<std::size_t>(index)]);
            }
        }
    };
    sim::TemperatureProbe& damagedProbe =
        TemperatureProbeOf(*station.unit, table.SensorArray[static_cast<std::size_t>(damaged)].Rom);
    damagedProbe.SetCorruptCrc(true);
    ScanTotalNetwork(station.session, table);
    EXPECT_EQ(table.SensorArray[static_cast<std::size_t>(damaged)].Value,
              Coded(ProbeFault::kDamagedData));
    othersAsBefore(damaged);

    damagedProbe.SetCorruptCrc(false);
    TemperatureProbeOf(*station.unit, table.SensorArray[static_cast<std::size_t>(stuck)].Rom)
        .SetConversionStuck(true);
    ScanTotalNetwork(station.session, table);
    EXPECT_EQ(table.SensorArray[static_cast<std::size_t>(stuck)].Value,
              Coded(ProbeFault::kConversionNotDone));
    othersAsBefore(stuck);
}

TEST(NetworkScan, IdentificationTakesTheOneProbePluggedIn) {
    SimStation station;
    station.Start();
    for (const sim::Rom& rom : LineProbes(*station.unit)) {
        ASSERT_TRUE(station.unit->DisconnectDevice(rom));
    }
    SensorTable table;
    EXPECT_EQ(IdentifyEenProbe(station.session, table), -1) << "nothing plugged in";

    const sim::Rom first = sim::MakeRom(0x28, 0x5001);
    station.unit->AddLineDevice(1, std::make_unique<sim::TemperatureProbe>(
                                       first, sim::TemperatureProbe::Model::kDs18b20, 4.5));
    EXPECT_EQ(IdentifyEenProbe(station.session, table), 0);
    EXPECT_EQ(table.SensorArray[0].Line, 101);
    EXPECT_NEAR(table.SensorArray[0].Value, 4.5, 0.1);

    // The user swaps it for another new probe, then plugs the first in again
    // elsewhere.
    ASSERT_TRUE(station.unit->DisconnectDevice(first));
    const sim::Rom second = sim::MakeRom(0x12, 0x5002);
    station.unit->AddLineDevice(3, std::make_unique<sim::Ds2406Switch>(second));
    EXPECT_EQ(IdentifyEenProbe(station.session, table), 1);
    EXPECT_EQ(table.SensorArray[1].Line, 101);
    ASSERT_TRUE(station.unit->DisconnectDevice(second));
    ASSERT_TRUE(station.unit->ConnectDevice(first, 2));
    EXPECT_EQ(IdentifyEenProbe(station.session, table), 0) << "found again, not appended";
    EXPECT_EQ(table.GetMax1820Index(), 1);

    EXPECT_FALSE(station.unit->DisconnectDevice(station.unit->Ds2406Rom()))
        << "the unit's own devices stay on the trunk";
}

TEST(NetworkScan, AFullTableLeavesTheNewProbeOut) {
    SimStation station;
    station.Start();
    SensorTable table;
    for (int i = 0; i < kMaxSensors; ++i) {
        table.Append1820ToDataStruct(ToRomCode(sim::MakeRom(0x28, 0x9000 + i)), 1);
    }
    std::vector<RomCode> leftOut;
    EXPECT_EQ(IdentifyEenProbe(station.session, table, &leftOut), -1);
    ASSERT_EQ(leftOut.size(), 1u);
    EXPECT_EQ(table.Find1820inDataStruct(leftOut[0]), -1);

    const ScanResult result = ScanTotalNetwork(station.session, table);
    EXPECT_EQ(result.probesFound, 0);
    EXPECT_EQ(result.leftOut.size(), 15u);
}

}  // namespace
}  // namespace qrv::testing
