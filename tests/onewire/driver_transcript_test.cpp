// The driver's bytes on the serial line, checked byte by byte against the
// simulated unit, and its behaviour when the line goes silent.
#include <gtest/gtest.h>

#include <algorithm>

#include "onewire/tracing_port.h"
#include "sim/temperature_probe.h"
#include "sim_station.h"

namespace qrv::testing {
namespace {

using sim::MakeRom;
using sim::Rom;

std::string Hex(const Rom& rom) {
    return HexBytes(rom);
}

// A unit whose trunk holds probes with shared ROM prefixes, so the search
// meets discrepancies at several depths.
std::shared_ptr<sim::SimulatedNodex> CrowdedTrunk(const std::vector<std::uint64_t>& serials) {
    auto unit = std::make_shared<sim::SimulatedNodex>(MakeRom(0x12, 0x77), std::vector<Rom>{});
    for (const std::uint64_t serial : serials) {
        unit->AddTrunkDevice(std::make_unique<sim::TemperatureProbe>(
            MakeRom(0x28, serial), sim::TemperatureProbe::Model::kDs18b20, sim::ValueModel(21.5)));
    }
    return unit;
}

std::vector<Rom> SearchAll(SimStation& station) {
    std::vector<Rom> found;
    const int handle = station.session.Handle();
    for (int result = station.driver.OwFirst(handle); result > 0;
         result = station.driver.OwNext(handle)) {
        RomCode rom{};
        EXPECT_EQ(station.driver.OwRom(handle, rom), 1);
        found.push_back(ToSimRom(rom));
        if (found.size() > 64) {
            break;
        }
    }
    return found;
}

TEST(DriverTranscript, SetupResetsCalibratesAndChecksTheBridge) {
    SimStation station;
    ASSERT_EQ(station.session.StartOneWireSession(), SessionStatus::kOk);
    EXPECT_EQ(station.TakeLog(),
              (std::vector<std::string>{"break", "-> C1 E3 A5", "-> 0F C5", "<- 00 CD"}));
    EXPECT_EQ(station.driver.OwTouchReset(station.session.Handle()), 1);
    EXPECT_EQ(station.TakeLog(), (std::vector<std::string>{"-> C5", "<- CD"}));
}

TEST(DriverTranscript, ResetReportsAnEmptyBusAShortAndAMissingSetup) {
    auto unit = std::make_shared<sim::SimulatedNodex>(MakeRom(0x12, 1), std::vector<Rom>{});
    SimStation station(unit);
    ASSERT_EQ(station.session.StartOneWireSession(), SessionStatus::kOk);
    const int handle = station.session.Handle();
    EXPECT_EQ(station.driver.OwTouchReset(handle), 1);

    unit->AddFault({sim::FaultKind::kShort, {}, 0, 0, 1e9});
    station.TakeLog();
    EXPECT_EQ(station.driver.OwTouchReset(handle), 3);
    EXPECT_EQ(station.TakeLog(), (std::vector<std::string>{"-> C5", "<- CC"}));

    unit->ClearFaults();
    unit->AddFault({sim::FaultKind::kRemoved, unit->Ds2406Rom(), 0, 0, 1e9});
    EXPECT_EQ(station.driver.OwTouchReset(handle), 0);
    EXPECT_EQ(station.TakeLog(), (std::vector<std::string>{"-> C5", "<- CF"}));

    EXPECT_EQ(station.driver.OwTouchReset(handle + 100), kResetNotSetUp);
}

TEST(DriverTranscript, MatchRomSwitchesToDataModeAndStaysThereForTheCommand) {
    SimStation station;
    station.Start();
    const Rom rom = RomsOf(*station.unit, 0, "DS2409").at(0);
    const int handle = station.session.Handle();
    RomCode code = ToRomCode(rom);
    ASSERT_EQ(station.driver.OwRom(handle, code), 1);
    station.driver.OwTouchReset(handle);  // leaves the bridge in command mode
    station.TakeLog();
    ASSERT_EQ(station.driver.OwAccess(handle), 1);
    ASSERT_EQ(station.driver.OwTouchByte(handle, 0x66), 0x66);
    // The coupler's confirmation byte 0x66 follows; its first bit is 0.
    ASSERT_EQ(station.driver.OwTouchBit(handle, 1), 0);
    EXPECT_EQ(station.TakeLog(), (std::vector<std::string>{
                                     "-> C5 E1 55 " + Hex(rom),
                                     "<- CD 55 " + Hex(rom),
                                     "-> 66",
                                     "<- 66",
                                     "-> E3 95",
                                     "<- 94",
                                 }));
}

TEST(DriverTranscript, DataByteE3IsSentTwice) {
    // Serial 0x...E3 puts 0xE3 into ROM byte 1.
    auto unit = CrowdedTrunk({0xE3});
    SimStation station(unit);
    station.Start();
    const Rom rom = MakeRom(0x28, 0xE3);
    RomCode code = ToRomCode(rom);
    const int handle = station.session.Handle();
    station.driver.OwRom(handle, code);
    station.driver.OwTouchReset(handle);
    station.TakeLog();
    ASSERT_EQ(station.driver.OwAccess(handle), 1);
    const auto log = station.TakeLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0], "-> C5 E1 55 28 E3 E3 00 00 00 00 00 " + HexBytes(std::span(rom).subspan(7)));
    EXPECT_EQ(log[1], "<- CD 55 " + Hex(rom));
}

TEST(DriverTranscript, SearchFindsEveryDeviceInSearchOrderWithOnePassEach) {
    const std::vector<std::uint64_t> serials{0x01, 0x03, 0x81, 0x83, 0x8001, 0x7F00'0001, 0x02};
    SimStation station(CrowdedTrunk(serials));
    station.Start();
    station.TakeLog();
    const std::vector<Rom> found = SearchAll(station);

    std::vector<Rom> expected{station.unit->Ds2406Rom()};
    for (const auto serial : serials) {
        expected.push_back(MakeRom(0x28, serial));
    }
    std::sort(expected.begin(), expected.end(), sim::SearchOrderLess);
    EXPECT_EQ(found, expected);

    // One accelerated pass per device; the call after the last device sends nothing.
    const auto log = station.TakeLog();
    ASSERT_EQ(log.size(), 2 * expected.size());
    EXPECT_EQ(log[0], "-> C5 E1 F0 E3 B5 E1 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 E3 A5");
    EXPECT_TRUE(log[1].starts_with("<- CD F0 "));
}

TEST(DriverTranscript, FamilySearchStartsAtTheFamily) {
    SimStation station;
    station.Start();
    const int handle = station.session.Handle();
    station.session.SelectLine(2);
    ASSERT_EQ(station.driver.OwFamilySearchSetup(handle, 0x26), 1);
    ASSERT_EQ(station.driver.OwNext(handle), 1);
    RomCode rom{};
    station.driver.OwRom(handle, rom);
    EXPECT_EQ(ToSimRom(rom), RomsOf(*station.unit, 2, "DS2438").at(0));

    // A family that is absent: the search goes on to the next family up.
    ASSERT_EQ(station.driver.OwFamilySearchSetup(handle, 0x13), 1);
    ASSERT_EQ(station.driver.OwNext(handle), 1);
    station.driver.OwRom(handle, rom);
    EXPECT_NE(rom[0], 0x13);
}

TEST(DriverTranscript, CableTimingIsWrittenAsBridgeParametersAndReadBack) {
    SimStation station;
    station.Start();
    const int handle = station.session.Handle();
    OwLineBlock block = MakeOwLineBlock(kOwLineRead);
    station.TakeLog();
    ASSERT_EQ(station.driver.OwLine(handle, block), 1);
    EXPECT_EQ(block[8], 0);
    EXPECT_EQ(block[9], 4);
    EXPECT_EQ(block[10], 9);

    block = MakeOwLineBlock(kOwLineWrite, 6, 6, 14);
    ASSERT_EQ(station.driver.OwLine(handle, block), 1);
    block = MakeOwLineBlock(kOwLineRead);
    ASSERT_EQ(station.driver.OwLine(handle, block), 1);
    EXPECT_EQ(block[8], 6);
    EXPECT_EQ(block[9], 6);
    EXPECT_EQ(block[10], 14);
    EXPECT_EQ(station.TakeLog(),
              (std::vector<std::string>{"-> 03 09 0B", "<- 00 00 00", "-> 17 45 5B", "<- 16 44 5A",
                                        "-> 03 09 0B", "<- 06 04 0A"}));
    EXPECT_EQ(station.unit->BridgeParameter(1), 3);  // 1.37 V/us
    EXPECT_EQ(station.unit->BridgeParameter(4), 2);  // 10 us
    EXPECT_EQ(station.unit->BridgeParameter(5), 5);  // 8 us

    // Codes that name no parameter value are refused without a byte sent.
    block = MakeOwLineBlock(kOwLineWrite, 7, 6, 14);
    EXPECT_EQ(station.driver.OwLine(handle, block), 0);
    block = MakeOwLineBlock(kOwLineRead);
    block[0] = 'X';
    EXPECT_EQ(station.driver.OwLine(handle, block), 0);
    EXPECT_TRUE(station.TakeLog().empty());
}

TEST(DriverTranscript, TimingCodesMapOneToOne) {
    for (int parameter = 0; parameter < 3; ++parameter) {
        for (int value = 0; value < 8; ++value) {
            EXPECT_EQ(TimingCodeToValue(parameter, TimingValueToCode(parameter, value)), value);
        }
    }
    EXPECT_FALSE(TimingCodeToValue(0, 15).has_value());
    EXPECT_FALSE(TimingCodeToValue(1, 3).has_value());
    EXPECT_FALSE(TimingCodeToValue(2, 17).has_value());
}

TEST(DriverSilentLink, EveryOperationFailsWithinItsDeadlineAndTheNextOneResynchronises) {
    SimStation station;
    station.Start();
    const int handle = station.session.Handle();
    OwLineBlock block = MakeOwLineBlock(kOwLineWrite, 6, 6, 14);
    ASSERT_EQ(station.driver.OwLine(handle, block), 1);

    // The cable is pulled in the middle of a Match ROM.
    station.ports.writeBudget = 5;
    RomCode rom = ToRomCode(station.unit->Ds2406Rom());
    station.driver.OwRom(handle, rom);
    const double before = station.clock.Timer();
    EXPECT_EQ(station.driver.OwAccess(handle), 0);
    EXPECT_EQ(station.driver.OwTouchReset(handle), 0);
    EXPECT_EQ(station.driver.OwTouchByte(handle, 0xFF), -1);
    EXPECT_EQ(station.driver.OwTouchBit(handle, 1), -1);
    std::array<std::uint8_t, 4> buffer{0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(station.driver.OwBlockStream(handle, buffer), 0);
    EXPECT_EQ(station.driver.OwBlockIO(handle, buffer), 0);
    EXPECT_EQ(station.driver.OwFirst(handle), 0);
    EXPECT_LT(station.clock.Timer() - before, 2.0);

    // Plugged in again: a master reset, calibration, the way back to command
    // mode, the cable timing and a check that the bridge answers come first,
    // then the operation itself.
    station.ports.writeBudget = -1;
    station.TakeLog();
    EXPECT_EQ(station.driver.OwTouchReset(handle), 1);
    EXPECT_EQ(station.TakeLog(),
              (std::vector<std::string>{"break", "-> C1 E3 A5", "-> 17 45 5B", "<- 16 44 5A",
                                        "-> 0F C5", "<- 00 CD", "-> C5", "<- CD"}));
}

TEST(DriverSessions, ASecondSessionOnThePortIsBusyAndEndingTwiceFails) {
    SimStation station;
    const int first = station.driver.OwStartSession(1);
    ASSERT_GT(first, 0);
    EXPECT_EQ(station.driver.OwStartSession(1), 0);
    EXPECT_LT(station.driver.OwStartSession(7), 0);  // not mapped
    EXPECT_EQ(station.driver.OwEndSession(first), 1);
    EXPECT_EQ(station.driver.OwEndSession(first), 0);
    EXPECT_GT(station.driver.OwStartSession(1), first);
}

TEST(DriverSessions, AnUnpluggedUnitFailsTheSetupWithoutHanging) {
    SimStation station;
    station.unit->AddFault({sim::FaultKind::kUnplugged, {}, 0, 0, 1e9});
    EXPECT_EQ(station.session.StartOneWireSession(), SessionStatus::kBridgeSilent);
    EXPECT_LT(station.clock.Timer(), 1.0);
    EXPECT_EQ(station.session.Handle(), 0);
}

}  // namespace
}  // namespace qrv::testing
