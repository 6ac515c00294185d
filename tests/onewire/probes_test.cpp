// Probe readings and unit outputs through the real driver and the simulated
// unit, with the corrections of the station applied to what the chips send.
#include <gtest/gtest.h>

#include <stop_token>

#include "onewire/families.h"
#include "onewire/humidity.h"
#include "onewire/temperature.h"
#include "onewire/unit_outputs.h"
#include "sim/humidity_probe.h"
#include "sim/switch_devices.h"
#include "sim/temperature_probe.h"
#include "sim_station.h"

namespace qrv::testing {
namespace {

using sim::MakeRom;
using sim::Rom;
using sim::TemperatureProbe;
using sim::ValueModel;

constexpr std::uint8_t kNoCalibrationTh = 0x4B;
constexpr std::uint8_t kNoCalibrationTl = 0x46;

// A unit with the given devices on line 1.
struct OneLine {
    OneLine()
        : unit(std::make_shared<sim::SimulatedNodex>(
              MakeRom(0x12, 0x10),
              std::vector<Rom>{MakeRom(0x1F, 1), MakeRom(0x1F, 2), MakeRom(0x1F, 3)})) {}

    Rom Add(std::unique_ptr<sim::SimDevice> device) {
        const Rom rom = device->GetRom();
        unit->AddLineDevice(1, std::move(device));
        return rom;
    }
    Rom AddB20(double celsius, std::uint8_t th = kNoCalibrationTh,
               std::uint8_t tl = kNoCalibrationTl) {
        return Add(std::make_unique<TemperatureProbe>(MakeRom(0x28, ++serial),
                                                      TemperatureProbe::Model::kDs18b20,
                                                      ValueModel(celsius), th, tl));
    }
    Rom AddHumidity(double rh, double celsius, double vdd) {
        return Add(std::make_unique<sim::HumidityProbe>(MakeRom(0x26, ++serial), ValueModel(rh),
                                                        ValueModel(celsius), ValueModel(vdd)));
    }

    std::shared_ptr<sim::SimulatedNodex> unit;
    std::uint64_t serial = 0x100;
};

Reading Read(SimStation& station, const Rom& rom, int line = 1) {
    return ReadProbe(station.session, line, ToRomCode(rom));
}

TEST(TemperatureProbes, Ds18b20ReadingCarriesTheCompensationAndTheProbesCalibration) {
    OneLine net;
    const Rom plain = net.AddB20(21.5);
    const Rom calibrated = net.AddB20(21.5, 0x02, 0x26);
    const Rom cold = net.AddB20(5.0);
    SimStation station(net.unit);
    station.Start();
    const double compensated = 21.5 * 0.9937065 + 0.274926;
    EXPECT_NEAR(Read(station, plain).value, compensated, 1e-9);
    EXPECT_NEAR(Read(station, calibrated).value, compensated + 0.38, 1e-9);
    EXPECT_NEAR(Read(station, cold).value, (5.0 * 1.0075567) * 1.01097631 - 0.10976314, 1e-9);
}

TEST(TemperatureProbes, Ds18b20ErrorValues) {
    OneLine net;
    const Rom hot = net.AddB20(85.0);
    const Rom stuck = net.AddB20(20.0);
    const Rom damaged = net.AddB20(20.0);
    const Rom removed = net.AddB20(20.0);
    net.unit->AddFault({sim::FaultKind::kStuckConversion, stuck, 0, 0, 1e9});
    net.unit->AddFault({sim::FaultKind::kCorruptCrc, damaged, 0, 0, 1e9});
    net.unit->AddFault({sim::FaultKind::kRemoved, removed, 0, 0, 100});
    SimStation station(net.unit);
    station.Start();
    EXPECT_EQ(Read(station, hot).fault, ProbeFault::kPowerOnValue);
    EXPECT_EQ(Read(station, stuck).fault, ProbeFault::kConversionNotDone);
    EXPECT_EQ(Read(station, damaged).fault, ProbeFault::kDamagedData);
    // Match ROM cannot tell that the probe is gone (the trunk answers the
    // reset); the scratchpad of nobody fails its CRC.
    EXPECT_EQ(Read(station, removed).fault, ProbeFault::kDamagedData);
    // Re-inserted: it answers again with a fresh conversion.
    station.clock.Advance(100);
    EXPECT_NEAR(Read(station, removed).value, 20.0 * 0.9937065 + 0.274926, 1e-9);
    // A probe that is no temperature family is refused by the calculation.
    RomCode other = ToRomCode(MakeRom(0x01, 1));
    EXPECT_EQ(Calc1820TemperatureFromScratchBuf(station.session, other).fault,
              ProbeFault::kNotAProbe);
    // Nothing answers the reset on a shorted line.
    net.unit->AddFault({sim::FaultKind::kShort, {}, 1, 0, 1e9});
    EXPECT_EQ(Read(station, hot).fault, ProbeFault::kNoAnswer);
}

TEST(TemperatureProbes, ALinkLostDuringTheConversionIsReportedAsNoAnswer) {
    OneLine net;
    const Rom rom = net.AddB20(20.0);
    SimStation station(net.unit);
    station.Start();
    // Silence from the Convert T through the conversion poll 0.9 s later.
    sim::LinkFault drop;
    drop.after = MatchRomThen(rom, {0x44});
    drop.seconds = 1.5;
    net.unit->AddLinkFault(drop);
    EXPECT_EQ(Read(station, rom).fault, ProbeFault::kNoAnswer);
    station.clock.Advance(1.0);
    EXPECT_NEAR(Read(station, rom).value, 20.0 * 0.9937065 + 0.274926, 1e-9);
}

TEST(TemperatureProbes, PowerOnValueBeforeTheFirstConversionAndBusyUntilTheConversionTime) {
    OneLine net;
    const Rom rom = net.AddB20(12.0);
    SimStation station(net.unit);
    station.Start();
    station.session.SelectLine(1);
    ASSERT_EQ(station.session.MakeCurrent(ToRomCode(rom)), 1);
    Scratchpad pad{};
    ASSERT_TRUE(ReadTempScratch(station.session, pad));
    EXPECT_EQ(pad[0], 0x50);
    EXPECT_EQ(pad[1], 0x05);
    EXPECT_EQ(DecodeTemperature(ToRomCode(rom), pad).fault, ProbeFault::kPowerOnValue);

    // Convert T at 12 bits: read slots give 0 for 750 ms, then 1.
    const int handle = station.session.Handle();
    ASSERT_EQ(station.driver.OwAccess(handle), 1);
    station.driver.OwTouchByte(handle, 0x44);
    EXPECT_EQ(station.driver.OwTouchBit(handle, 1), 0);
    station.clock.Advance(0.7);
    EXPECT_EQ(station.driver.OwTouchBit(handle, 1), 0);
    station.clock.Advance(0.06);
    EXPECT_EQ(station.driver.OwTouchBit(handle, 1), 1);
    ASSERT_TRUE(ReadTempScratch(station.session, pad));
    EXPECT_NEAR(DecodeTemperature(ToRomCode(rom), pad).value, 12.0 * 1.0075567, 1e-9);
}

TEST(TemperatureProbes, FamilyTenTellsTheNewerProbeFromTheOldDs1820ByRomByteFive) {
    OneLine net;
    const Rom newer = net.Add(std::make_unique<TemperatureProbe>(MakeRom(0x10, 0x08'0000'0001ULL),
                                                                 TemperatureProbe::Model::kDs18s20,
                                                                 ValueModel(25.0), 0x02, 0x26));
    const Rom old = net.Add(std::make_unique<TemperatureProbe>(
        MakeRom(0x10, 0x0000'0002ULL), TemperatureProbe::Model::kDs1820, ValueModel(25.0)));
    const Rom oldUncalibrated = net.Add(std::make_unique<TemperatureProbe>(
        MakeRom(0x10, 0x0000'0003ULL), TemperatureProbe::Model::kDs1820, ValueModel(-25.0), 0, 0));
    SimStation station(net.unit);
    station.Start();
    EXPECT_NEAR(Read(station, newer).value, 25.1175885 + 0.38, 1e-6);
    // Old probe, no offset in TH/TL: one slope of 1 and the positive-range correction.
    EXPECT_NEAR(Read(station, old).value, 25.0 * 0.994, 0.02);
    // TH = TL = 0: the raw value without any correction.
    EXPECT_NEAR(Read(station, oldUncalibrated).value, -25.0, 0.02);
    EXPECT_EQ(DeviceName(ToRomCode(newer)), "DS18S20");
    EXPECT_EQ(DeviceName(ToRomCode(old)), "DS1820");
}

TEST(TemperatureProbes, ConversionSleepAndWholeReadingStayWithinTheTargetTime) {
    OneLine net;
    const Rom rom = net.AddB20(30.0);
    SimStation station(net.unit);
    station.Start();
    station.session.SelectLine(2);
    const double before = station.clock.Timer();
    const std::uint64_t sent = net.unit->BytesFromHost();
    const std::uint64_t resets = net.unit->BusResets();
    Read(station, rom);
    EXPECT_LE(station.clock.Timer() - before, 1.05);
    EXPECT_LE(net.unit->BytesFromHost() - sent, 100u);
    // Three couplers and three selections of the probe.
    EXPECT_EQ(net.unit->BusResets() - resets, 6u);
}

TEST(HumidityProbes, ReadingFollowsTheSensorModelAndLeavesTheProbeOnVad) {
    OneLine net;
    const Rom rom = net.AddHumidity(45.0, 21.0, 5.0);
    const Rom wet = net.AddHumidity(100.0, 30.0, 4.9);
    SimStation station(net.unit);
    station.Start();
    // One 10 mV step of VAD is about 0.33 %RH.
    EXPECT_NEAR(Read(station, rom).value, 45.0, 0.4);
    EXPECT_EQ(Read(station, wet).value, 100.0);
    auto* probe = dynamic_cast<sim::HumidityProbe*>(net.unit->Find(rom));
    ASSERT_NE(probe, nullptr);
    EXPECT_EQ(probe->Config() & 0x08, 0);
    EXPECT_EQ(probe->PageCopies(), 2);
}

// A pause of acquisition ends a reading's conversion waits, but never the
// time a copy to the probe's EEPROM takes: the shutdown cuts the unit's
// power soon after.
TEST(HumidityProbes, APauseLeavesTheEepromCopyItsTime) {
    OneLine net;
    const Rom rom = net.AddHumidity(45.0, 21.0, 5.0);
    SimStation station(net.unit);
    station.Start();
    station.session.SelectLine(1);
    const auto timeToVdd = [&] {
        Prepare2438AdConversion(station.session, ToRomCode(rom), 0);
        const double start = station.clock.Timer();
        EXPECT_EQ(Prepare2438AdConversion(station.session, ToRomCode(rom), 1), ProbeFault::kNone);
        return station.clock.Timer() - start;
    };
    const double running = timeToVdd();
    std::stop_source pause;
    pause.request_stop();
    station.session.EndReadingWaitsOn(pause.get_token());
    EXPECT_NEAR(timeToVdd(), running, 1e-6) << "the pause cut the copy short";
    auto* probe = dynamic_cast<sim::HumidityProbe*>(net.unit->Find(rom));
    ASSERT_NE(probe, nullptr);
    EXPECT_EQ(probe->PageCopies(), 4);
}

TEST(HumidityProbes, AReadingWithLineSwitchingStaysWithinItsByteAndTimeBudget) {
    OneLine net;
    const Rom rom = net.AddHumidity(60.0, 20.0, 5.0);
    SimStation station(net.unit);
    station.Start();
    station.session.Zet2480TimingToLongCable();
    station.session.SelectLine(3);
    const double before = station.clock.Timer();
    const std::uint64_t sent = net.unit->BytesFromHost();
    EXPECT_NEAR(Read(station, rom).value, 60.0, 0.4);
    EXPECT_LE(station.clock.Timer() - before, 0.6);
    EXPECT_LE(net.unit->BytesFromHost() - sent, 400u);
}

TEST(HumidityProbes, ErrorPathsGiveTheirCodesAndAZeroSupplyIsAnErrorNotInfinity) {
    OneLine net;
    const Rom noSupply = net.AddHumidity(50.0, 20.0, 0.0);
    const Rom damaged = net.AddHumidity(50.0, 20.0, 5.0);
    const Rom removed = net.AddHumidity(50.0, 20.0, 5.0);
    const Rom stuck = net.AddHumidity(50.0, 20.0, 5.0);
    net.unit->AddFault({sim::FaultKind::kCorruptCrc, damaged, 0, 0, 1e9});
    net.unit->AddFault({sim::FaultKind::kRemoved, removed, 0, 0, 1e9});
    net.unit->AddFault({sim::FaultKind::kStuckConversion, stuck, 0, 0, 1e9});
    SimStation station(net.unit);
    station.Start();
    EXPECT_EQ(Read(station, noSupply).fault, ProbeFault::kBadMeasurement);
    EXPECT_EQ(Read(station, damaged).fault, ProbeFault::kNoAnswer);
    EXPECT_EQ(Read(station, removed).fault, ProbeFault::kNoAnswer);
    // Conversions that never finish leave the voltage registers at zero.
    EXPECT_EQ(Read(station, stuck).fault, ProbeFault::kBadMeasurement);
    EXPECT_EQ(Prepare2438AdConversion(station.session, ToRomCode(damaged), 1),
              ProbeFault::kDamagedData);
    EXPECT_EQ(Get2438Temperature(station.session, ToRomCode(damaged)).fault,
              ProbeFault::kDamagedData);
    EXPECT_EQ(Get2438Temperature(station.session, ToRomCode(removed)).fault,
              ProbeFault::kDamagedData);
    net.unit->AddFault({sim::FaultKind::kShort, {}, 1, 0, 1e9});
    EXPECT_EQ(Read(station, noSupply).fault, ProbeFault::kNoAnswer);
}

TEST(SwitchProbes, ContactStateAndErrors) {
    SimStation station;
    station.Start();
    const Rom open = RomsOf(*station.unit, 1, "DS2406").at(0);
    const Rom closed = RomsOf(*station.unit, 2, "DS2406").at(0);
    EXPECT_EQ(Read(station, open, 1).value, 1.0);
    EXPECT_EQ(Read(station, closed, 2).value, 0.0);
    EXPECT_EQ(Read(station, closed, 1).fault,
              ProbeFault::kDamagedData);  // not on the selected line
    station.unit->AddFault({sim::FaultKind::kCorruptCrc, open, 0, 0, 1e9});
    EXPECT_EQ(Read(station, open, 1).fault, ProbeFault::kDamagedData);
    EXPECT_EQ(Read(station, MakeRom(0x01, 3), 1).fault, ProbeFault::kNotAProbe);
    station.unit->AddFault({sim::FaultKind::kShort, {}, 2, 0, 1e9});
    EXPECT_EQ(Read(station, closed, 2).fault, ProbeFault::kNoAnswer);
}

TEST(SwitchProbes, OnlyAReadingOfItsOwnHoldsTheBusAQuarterSecondAfterTheLevel) {
    SimStation station;
    station.Start();
    const Rom open = RomsOf(*station.unit, 1, "DS2406").at(0);
    const RomCode rom = ToRomCode(open);
    double before = station.clock.Timer();
    EXPECT_EQ(ReadProbe(station.session, 1, rom).value, 1.0);
    EXPECT_GE(station.clock.Timer() - before, 0.25);
    before = station.clock.Timer();
    EXPECT_EQ(ReadProbe(station.session, 1, rom, SwitchPause::kNone).value, 1.0);
    EXPECT_LT(station.clock.Timer() - before, 0.1);
}

TEST(UnitOutputs, StatusByteCombinesBothOutputs) {
    EXPECT_EQ(Ds2406StatusByte(true, false), 0x3F);
    EXPECT_EQ(Ds2406StatusByte(false, true), 0x5F);
    EXPECT_EQ(Ds2406StatusByte(true, true), 0x7F);
    EXPECT_EQ(Ds2406StatusByte(false, false), 0x1F);
}

TEST(UnitOutputs, RelayAndLampsFollowTheCallsWithTheirHistory) {
    SimStation station;
    station.Start();
    auto& unit = *station.unit;
    EXPECT_EQ(AlarmRelaisOff(station.session), OutputResult::kDone);
    EXPECT_EQ(OranjeLedOn(station.session), OutputResult::kDone);
    EXPECT_FALSE(unit.RelayOn());
    EXPECT_TRUE(unit.OrangeLampOn());
    EXPECT_EQ(AlarmRelaisOn(station.session), OutputResult::kDone);
    EXPECT_EQ(OranjeLedOff(station.session), OutputResult::kDone);
    EXPECT_TRUE(unit.RelayOn());
    EXPECT_FALSE(unit.OrangeLampOn());

    RedLedOff(station.session);
    EXPECT_FALSE(unit.RedLampOn());
    RedLedOn(station.session);
    EXPECT_TRUE(unit.RedLampOn());

    std::vector<std::pair<sim::UnitOutput, bool>> changes;
    for (const auto& event : unit.OutputHistory()) {
        changes.emplace_back(event.output, event.on);
    }
    using O = sim::UnitOutput;
    EXPECT_EQ(changes, (std::vector<std::pair<O, bool>>{{O::kOrangeLamp, true},
                                                        {O::kRelay, true},
                                                        {O::kOrangeLamp, false},
                                                        {O::kRedLamp, false},
                                                        {O::kRedLamp, true}}));
}

TEST(UnitOutputs, DamagedOrMissingDs2406IsReported) {
    SimStation station;
    station.Start();
    station.unit->AddFault({sim::FaultKind::kCorruptCrc, station.unit->Ds2406Rom(), 0, 0, 1e9});
    EXPECT_EQ(AlarmRelaisOn(station.session), OutputResult::kDamagedData);
    station.unit->ClearFaults();
    station.unit->AddFault({sim::FaultKind::kRemoved, station.unit->Ds2406Rom(), 0, 0, 1e9});
    // Without the DS2406 the other trunk devices still answer the reset, but
    // nothing returns a CRC.
    EXPECT_EQ(OranjeLedOn(station.session), OutputResult::kDamagedData);
    station.unit->AddFault({sim::FaultKind::kShort, {}, 0, 0, 1e9});
    EXPECT_EQ(OranjeLedOn(station.session), OutputResult::kCutShort);
}

TEST(Ds2405, EachLinesSwitchTogglesOnceAndATrunkSwitchThreeTimes) {
    SimStation station;
    station.Start();
    std::vector<sim::Ds2405Switch*> switches;
    for (int line = 1; line <= 3; ++line) {
        switches.push_back(dynamic_cast<sim::Ds2405Switch*>(
            station.unit->Find(RomsOf(*station.unit, line, "DS2405").at(0))));
    }
    EXPECT_EQ(Toggle2405Pio(station.session), 1);
    for (const auto* device : switches) {
        EXPECT_EQ(device->Toggles(), 1);
        EXPECT_TRUE(device->TransistorOn());
    }

    OneLine net;
    auto trunkSwitch = std::make_unique<sim::Ds2405Switch>(MakeRom(0x05, 0x55));
    auto* onTrunk = trunkSwitch.get();
    net.unit->AddTrunkDevice(std::move(trunkSwitch));
    SimStation trunk(net.unit);
    trunk.Start();
    Toggle2405Pio(trunk.session);
    EXPECT_EQ(onTrunk->Toggles(), 3);
}

TEST(Ds2405, NoSwitchAnywhereTogglesNothing) {
    OneLine net;
    net.AddB20(20.0);
    SimStation station(net.unit);
    station.Start();
    const std::uint64_t resetsBefore = net.unit->BusResets();
    EXPECT_EQ(Toggle2405Pio(station.session), 1);  // the ROM read of the device met instead
    EXPECT_GT(net.unit->BusResets(), resetsBefore);
    for (const auto& [line, device] : net.unit->Devices()) {
        EXPECT_NE(device->Kind(), "DS2405");
    }
}

}  // namespace
}  // namespace qrv::testing
