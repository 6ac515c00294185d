// A line's temperature probes converted together, with and without the
// unit's strong pull-up, and what a failed conversion leaves.
#include <gtest/gtest.h>

#include <cmath>

#include "onewire/line_readings.h"
#include "onewire/temperature.h"
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

// What the station makes of a DS18B20's temperature without calibration.
double Compensated(double celsius) {
    if (celsius >= 20) {
        return celsius * 0.9937065 + 0.274926;
    }
    const double t = celsius * 1.0075567;
    return t < 10 ? t * 1.01097631 - 0.10976314 : t;
}

// Line 1 of a unit with the probes the test adds.
struct Line {
    Line()
        : unit(std::make_shared<sim::SimulatedNodex>(
              MakeRom(0x12, 0x10),
              std::vector<Rom>{MakeRom(0x1F, 1), MakeRom(0x1F, 2), MakeRom(0x1F, 3)})) {}

    TemperatureProbe& AddB20(double celsius, bool parasite) {
        auto probe = std::make_unique<TemperatureProbe>(
            MakeRom(0x28, ++serial), TemperatureProbe::Model::kDs18b20, ValueModel(celsius));
        probe->SetParasitePowered(parasite);
        TemperatureProbe& added = *probe;
        roms.push_back(ToRomCode(probe->GetRom()));
        unit->AddLineDevice(1, std::move(probe));
        return added;
    }
    void AddOther(std::unique_ptr<sim::SimDevice> device) {
        roms.push_back(ToRomCode(device->GetRom()));
        unit->AddLineDevice(1, std::move(device));
    }
    std::vector<ConvertedReading> Convert(SimStation& station, bool strongPullUp,
                                          double seconds = 0.75) {
        station.session.SelectLine(1);
        return ReadLineTemperatures(station.session, roms, {strongPullUp, seconds});
    }

    std::shared_ptr<sim::SimulatedNodex> unit;
    std::vector<RomCode> roms;
    std::uint64_t serial = 0x200;
};

TEST(SharedConversion, ParasiteProbesConvertOnlyUnderTheStrongPullUpPoweredOnesEitherWay) {
    Line line;
    line.AddB20(4.0, true);
    line.AddB20(-18.5, false);
    line.AddB20(25.0, true);
    SimStation station(line.unit);
    station.Start();

    const auto without = line.Convert(station, false);
    ASSERT_EQ(without.size(), 3u);
    EXPECT_EQ(without[0].reading.fault, ProbeFault::kPowerOnValue);
    EXPECT_NEAR(without[1].reading.value, Compensated(-18.5), 1e-9);
    EXPECT_EQ(without[2].reading.fault, ProbeFault::kPowerOnValue);
    EXPECT_TRUE(std::isnan(without[2].reading.value));

    const auto with = line.Convert(station, true);
    ASSERT_EQ(with.size(), 3u);
    EXPECT_NEAR(with[0].reading.value, Compensated(4.0), 1e-9);
    EXPECT_NEAR(with[1].reading.value, Compensated(-18.5), 1e-9);
    EXPECT_NEAR(with[2].reading.value, Compensated(25.0), 1e-9);
    EXPECT_EQ(with[2].pad[4], kTwelveBitConfig);
}

TEST(SharedConversion, APullUpShorterThanTheConversionStarvesParasiteProbes) {
    Line line;
    line.AddB20(4.0, true);
    line.AddB20(5.0, true);
    SimStation station(line.unit);
    station.Start();
    // A 12-bit conversion takes 750 ms; the pull-up of a 9-bit one is too short.
    const auto shortened = line.Convert(station, true, ConversionSeconds(line.roms[0], 0x1F));
    ASSERT_EQ(shortened.size(), 2u);
    EXPECT_EQ(shortened[0].reading.fault, ProbeFault::kPowerOnValue);
    EXPECT_EQ(shortened[1].reading.fault, ProbeFault::kPowerOnValue);
    // Once the starved conversion is over, a pull-up as long as it works.
    station.clock.Advance(1.0);
    const auto full = line.Convert(station, true, ConversionSeconds(line.roms[0]));
    EXPECT_NEAR(full[1].reading.value, Compensated(5.0), 1e-9);
}

TEST(SharedConversion, OnAMixedLineOnlyTemperatureProbesAreReadAndALostOneFailsAlone) {
    Line line;
    line.AddB20(4.0, false);
    line.AddOther(std::make_unique<sim::HumidityProbe>(MakeRom(0x26, 0x31), ValueModel(50.0),
                                                       ValueModel(20.0), ValueModel(5.0)));
    line.AddB20(6.0, true);
    line.AddOther(std::make_unique<sim::Ds2406Switch>(MakeRom(0x12, 0x32), ValueModel(1.0)));
    line.AddB20(7.0, false);
    SimStation station(line.unit);
    station.Start();
    line.unit->AddFault({sim::FaultKind::kRemoved, ToSimRom(line.roms[4]), 0, 0, 1e9});

    const auto readings = line.Convert(station, true);
    ASSERT_EQ(readings.size(), 5u);
    EXPECT_NEAR(readings[0].reading.value, Compensated(4.0), 1e-9);
    EXPECT_EQ(readings[1].reading.fault, ProbeFault::kNotAProbe);
    EXPECT_NEAR(readings[2].reading.value, Compensated(6.0), 1e-9);
    EXPECT_EQ(readings[3].reading.fault, ProbeFault::kNotAProbe);
    EXPECT_FALSE(readings[4].reading.Ok());
    EXPECT_EQ(readings[4].reading.fault, ProbeFault::kDamagedData);
}

TEST(SharedConversion, TheConversionTimeFollowsResolutionAndFamily) {
    const RomCode b20 = ToRomCode(MakeRom(0x28, 1));
    EXPECT_DOUBLE_EQ(ConversionSeconds(b20, 0x1F), 0.09375);
    EXPECT_DOUBLE_EQ(ConversionSeconds(b20, 0x3F), 0.1875);
    EXPECT_DOUBLE_EQ(ConversionSeconds(b20, 0x5F), 0.375);
    EXPECT_DOUBLE_EQ(ConversionSeconds(b20, 0x7F), 0.75);
    RomCode s20 = ToRomCode(MakeRom(0x10, 2));
    s20[5] = 0x08;
    EXPECT_DOUBLE_EQ(ConversionSeconds(s20), 0.75);
    s20[5] = 0x00;
    EXPECT_DOUBLE_EQ(ConversionSeconds(s20), 0.5);
}

TEST(SingleReading, A85AfterAConversionIsRetriedOnceAndNeverATemperature) {
    Line line;
    TemperatureProbe& flaky = line.AddB20(3.0, false);
    line.AddB20(3.0, true);
    SimStation station(line.unit);
    station.Start();
    Scratchpad pad{};

    line.unit->WithLock([&](sim::SimulatedNodex&) { flaky.FailNextConversions(1); });
    const Reading retried = ReadTemperature(station.session, 1, line.roms[0], pad);
    ASSERT_TRUE(retried.Ok());
    EXPECT_NEAR(retried.value, Compensated(3.0), 1e-9);

    line.unit->WithLock([&](sim::SimulatedNodex&) { flaky.FailNextConversions(2); });
    EXPECT_EQ(ReadTemperature(station.session, 1, line.roms[0], pad).fault,
              ProbeFault::kPowerOnValue);
    // The next reading converts afresh.
    EXPECT_NEAR(ReadTemperature(station.session, 1, line.roms[0]).value, Compensated(3.0), 1e-9);

    // A parasite probe read alone without the pull-up never converts.
    EXPECT_EQ(ReadTemperature(station.session, 1, line.roms[1]).fault, ProbeFault::kPowerOnValue);
}

TEST(SingleReading, ThePowerOnValueOfEitherFamilyIsAFailedConversion) {
    RomCode s20 = ToRomCode(MakeRom(0x10, 3));
    s20[5] = 0x08;
    EXPECT_EQ(DecodeTemperature(s20, {0xAA, 0x00, 0, 0, 0xFF, 0xFF, 0x0C, 0x10}).fault,
              ProbeFault::kPowerOnValue);
    EXPECT_EQ(
        DecodeTemperature(ToRomCode(MakeRom(0x28, 4)), {0x50, 0x05, 0, 0, 0x7F, 0xFF, 0, 0x10})
            .fault,
        ProbeFault::kPowerOnValue);
    // Half a degree below is a temperature.
    EXPECT_TRUE(DecodeTemperature(s20, {0xA9, 0x00, 0, 0, 0xFF, 0xFF, 0x0C, 0x10}).Ok());
}

}  // namespace
}  // namespace qrv::testing
