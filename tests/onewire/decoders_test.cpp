// CRCs and the pure decoders, on recorded and datasheet bytes.
#include <gtest/gtest.h>

#include <cmath>
#include <string_view>

#include "onewire/bus_errors.h"
#include "onewire/crc.h"
#include "onewire/humidity.h"
#include "onewire/temperature.h"
#include "onewire/unit_outputs.h"

namespace qrv {
namespace {

std::vector<std::uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

RomCode Rom(std::int16_t family, std::int16_t byte5 = 0) {
    return RomCode{family, 1, 2, 3, 4, byte5, 0, 0};
}

TEST(Crc, Crc8MatchesTheDatasheetExamples) {
    const std::vector<std::uint8_t> rom{0x02, 0x1C, 0xB8, 0x01, 0x00, 0x00, 0x00};
    EXPECT_EQ(Crc8(rom), 0xA2);
    EXPECT_EQ(DoCRC8(Crc8(rom), 0xA2), 0);
    EXPECT_EQ(Crc8(Bytes("123456789")), 0xA1);
    // A recorded power-on scratchpad of a DS18B20, with its CRC.
    const std::vector<std::uint8_t> pad{0x50, 0x05, 0x4B, 0x46, 0x7F, 0xFF, 0x0C, 0x10, 0x1C};
    EXPECT_EQ(Crc8(pad), 0);
}

TEST(Crc, Crc16MatchesTheDatasheetExamplesAndTheResidue) {
    EXPECT_EQ(Crc16(Bytes("123456789")), 0xBB3D);
    const std::vector<std::uint8_t> write{0x55, 0x07, 0x00, 0x5F};
    EXPECT_EQ(Crc16(write), 0x35E0);
    // Sent inverted as 1F CA; running them through ends at the residue.
    EXPECT_EQ(DoCRC16(DoCRC16(Crc16(write), 0x1F), 0xCA), kCrc16Residue);

    std::vector<std::uint8_t> channel{0xF5, 0xD5, 0xFF, 0xC7, 0xFF};
    const auto inverted = static_cast<std::uint16_t>(~Crc16(channel));
    channel.push_back(static_cast<std::uint8_t>(inverted & 0xFF));
    channel.push_back(static_cast<std::uint8_t>(inverted >> 8));
    EXPECT_EQ(Crc16(channel), kCrc16Residue);
    channel[4] ^= 0x01;
    EXPECT_NE(Crc16(channel), kCrc16Residue);
}

TEST(TemperatureDecoding, Ds18b20ScratchpadsWithTheSpecifiedCorrections) {
    const RomCode b20 = Rom(0x28);
    EXPECT_EQ(DecodeTemperature(b20, {0x50, 0x05, 0, 0, 0x7F, 0xFF, 0, 0x10}).fault,
              ProbeFault::kPowerOnValue);
    EXPECT_NEAR(DecodeTemperature(b20, {0x90, 0x01, 0, 0, 0x7F, 0xFF, 0, 0x10}).value, 25.1175885,
                1e-9);
    // -10.125 °C: below 10 both the low-range slope and the extra correction apply.
    const double t = -10.125 * 1.0075567;
    EXPECT_NEAR(DecodeTemperature(b20, {0x5E, 0xFF, 0, 0, 0x7F, 0xFF, 0, 0x10}).value,
                t * 1.01097631 - 0.10976314, 1e-9);
    // 90 °C lies in the top range of the compensation.
    EXPECT_NEAR(DecodeTemperature(b20, {0xA0, 0x05, 0, 0, 0x7F, 0xFF, 0, 0x10}).value,
                90 * 0.9811136 + 1.285327, 1e-9);
}

TEST(TemperatureDecoding, FamilyTenWholeDegreesCountsAndSign) {
    const RomCode newer = Rom(0x10, 0x08);
    const double at25 = 25 * 0.9937065 + 0.274926;
    EXPECT_NEAR(DecodeTemperature(newer, {0x32, 0x00, 0, 0, 0xFF, 0xFF, 0x0C, 0x10}).value, at25,
                1e-9);
    EXPECT_NEAR(DecodeTemperature(newer, {0x32, 0x00, 0, 0, 0xFF, 0xFF, 0x0C, 0x00}).value, at25,
                1e-9);
    const RomCode old = Rom(0x10, 0x00);
    // b1 bit 0 set, b0 = 0xFF: whole degrees -1, no count refinement, no calibration.
    EXPECT_EQ(DecodeTemperature(old, {0xFF, 0x01, 0, 0, 0xFF, 0xFF, 0, 0}).value, -1.0);
    EXPECT_EQ(DecodeTemperature(Rom(0x26), {}).fault, ProbeFault::kNotAProbe);
}

TEST(TemperatureDecoding, CalibrationOffsetFromThAndTl) {
    EXPECT_NEAR(CalibrationOffset(0x02, 0x26), 0.38, 1e-12);
    EXPECT_EQ(CalibrationOffset(0x41, 0x26), 0.0);
    EXPECT_EQ(CalibrationOffset(0x80, 0x00), 0.0);
    EXPECT_EQ(CalibrationOffset(0x00, 0x00), 0.0);
    EXPECT_NEAR(CalibrationOffset(0x00, 0x01), -5.11, 1e-12);
    EXPECT_NEAR(CalibrationOffset(0x03, 0xFF), 5.11, 1e-12);
}

TEST(TemperatureDecoding, OldDs1820TwoSlopeModelAndRangeCorrections) {
    // d = +0.38 above 5 °C: f = 16 / 15.81, g = 21 - f * 20.62.
    const double f = 16 / (16 - 0.19);
    const double r = f * 25 + (21 - f * 20.62);
    EXPECT_NEAR(CalibAndCorrectOld1820(25, 0x02, 0x26), r - 0.006 * r, 1e-9);
    // Below 5 °C the other slope; -25 lands in the -30..-20 band.
    const double f2 = 20 / (20 - 0.19);
    const double r2 = f2 * -25 + 15 * (f2 - 1);
    EXPECT_NEAR(CalibAndCorrectOld1820(-25, 0x02, 0x26), r2 - 0.075 * (-20 - r2), 1e-9);
    // -32 lies in the -35..-30 band; -10 is left as it is.
    const double r3 = f2 * -32 + 15 * (f2 - 1);
    EXPECT_NEAR(CalibAndCorrectOld1820(-32, 0x02, 0x26), r3 + 0.15 * (-35 - r3), 1e-9);
    const double r4 = f2 * -10 + 15 * (f2 - 1);
    EXPECT_NEAR(CalibAndCorrectOld1820(-10, 0x02, 0x26), r4, 1e-9);
    EXPECT_EQ(CalibAndCorrectOld1820(12.5, 0, 0), 12.5);
}

TEST(HumidityDecoding, RegistersAndTheCompensatedHumidity) {
    EXPECT_DOUBLE_EQ(Ds2438VoltageFromPage({0, 0, 0, 0xF4, 0x01, 0, 0, 0}),
                     static_cast<float>(5.0));
    EXPECT_EQ(Ds2438TemperatureFromPage({0, 0x00, 0xFF, 0, 0, 0, 0, 0}), -1.0);
    EXPECT_EQ(Ds2438TemperatureFromPage({0, 0x00, 0x19, 0, 0, 0, 0, 0}), 25.0);
    EXPECT_NEAR(HumidityFromReadings(5.0, 2.0, 25.0).value, 38.69, 0.005);
    EXPECT_EQ(HumidityFromReadings(5.0, 0.5, 25.0).value, 0.0);
    EXPECT_EQ(HumidityFromReadings(5.0, 4.9, 25.0).value, 100.0);
    EXPECT_NEAR(HumidityFromReadings(5.0, 2.0, -1.0).value,
                (0.4 - 0.16) / 0.0062 / (1.0546 + 0.00216), 1e-9);
}

TEST(HumidityDecoding, AnUnusableSupplyGivesABadMeasurement) {
    for (const double vdd : {0.0, -0.01, std::nan("")}) {
        const Reading rh = HumidityFromReadings(vdd, 2.0, 20.0);
        EXPECT_EQ(rh.fault, ProbeFault::kBadMeasurement) << vdd;
        EXPECT_TRUE(std::isnan(rh.value));
        EXPECT_EQ(CodedValue(DeviceKind::kHumidity, rh), -496.0);
    }
}

// The record, the result files and the views keep the numbers the reading
// routines always gave; each fault keeps its own number below the limit.
TEST(ReadingCodes, EachFaultKeepsItsErrorNumber) {
    using enum ProbeFault;
    const auto coded = [](DeviceKind kind, ProbeFault fault) {
        return CodedValue(kind, Reading::Failed(fault));
    };
    EXPECT_EQ(coded(DeviceKind::kTemperature, kNotSelected), -499.0);
    EXPECT_EQ(coded(DeviceKind::kSwitchInput, kNoAnswer), -498.0);
    EXPECT_EQ(coded(DeviceKind::kHumidity, kInputNotSwitched), -497.0);
    EXPECT_EQ(coded(DeviceKind::kHumidity, kBadMeasurement), -496.0);
    EXPECT_EQ(coded(DeviceKind::kTemperature, kDamagedData), -994.0);
    EXPECT_EQ(coded(DeviceKind::kSwitchInput, kDamagedData), -495.0);
    EXPECT_EQ(coded(DeviceKind::kTemperature, kConversionNotDone), -995.0);
    EXPECT_EQ(coded(DeviceKind::kTemperature, kPowerOnValue), -993.0);
    EXPECT_EQ(coded(DeviceKind::kOther, kNotAProbe), -950.0);
    // A value is kept as it is, down to the limit and beyond it.
    EXPECT_EQ(CodedValue(DeviceKind::kTemperature, Reading::Of(-200.0)), -200.0);
    EXPECT_EQ(CodedValue(DeviceKind::kHumidity, Reading::Of(0.0)), 0.0);
    // A reading made without a value codes as a failure, never as a NaN.
    EXPECT_EQ(CodedValue(DeviceKind::kTemperature, Reading{}), -496.0);
}

TEST(BusErrorKinds, FailedReadingsAreToldApartByWhatTheReadingSays) {
    using enum BusErrorKind;
    EXPECT_EQ(ReadFailureKind(ProbeFault::kNoAnswer), kNoResponse);
    EXPECT_EQ(ReadFailureKind(ProbeFault::kNotSelected), kNoResponse);
    EXPECT_EQ(ReadFailureKind(ProbeFault::kDamagedData), kCrcError);
    EXPECT_EQ(ReadFailureKind(ProbeFault::kInputNotSwitched), kBadReading);
    EXPECT_EQ(ReadFailureKind(ProbeFault::kBadMeasurement), kBadReading);
    EXPECT_EQ(ReadFailureKind(ProbeFault::kConversionNotDone), kBadReading);
    EXPECT_EQ(ReadFailureKind(ProbeFault::kPowerOnValue), kBadReading);
    EXPECT_EQ(BusErrorLabel(kCrcError), "crc_error");
    EXPECT_EQ(BusErrorLabel(kNetworkLost), "network_lost");
}

}  // namespace
}  // namespace qrv
