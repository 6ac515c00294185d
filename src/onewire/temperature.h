#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "onewire/nodex_session.h"
#include "onewire/reading.h"
#include "sensors/sensor_record.h"

namespace qrv {

inline constexpr int kFamilyDs1820 = 0x10;
inline constexpr int kFamilyDs18b20 = 0x28;

// Sleep after Convert T: longer than the slowest conversion (750 ms).
inline constexpr double kConversionSleepSeconds = 0.9;

using Scratchpad = std::array<std::uint8_t, 8>;

// A family-0x10 probe whose ROM byte 5 is 0x08 is a newer probe; any other
// value marks an old DS1820 with its own correction model.
bool IsNewer1820(const RomCode& rom);

// Calibration offset in degrees held in TH/TL: 0 when TH and TL are both 0 or
// TH has either top bit set, else (TH bits 1-0 : TL) - 512 hundredths.
double CalibrationOffset(std::uint8_t th, std::uint8_t tl);
double CompensateSensor(const RomCode& rom, double t);
double CalibrateSensorBS(double t, std::uint8_t th, std::uint8_t tl);
double ExtraCompensateSensorX(double t);
double CalibAndCorrectOld1820(double t, std::uint8_t th, std::uint8_t tl);

// What the chip itself measured, without the station's corrections: the
// 12-bit value of a DS18B20, the count-refined value of the family 0x10.
double ChipTemperature(const RomCode& rom, const Scratchpad& pad);
// The scratchpad a probe holds from power-on until its first conversion:
// 85.0 °C, 0x0550 on a DS18B20 and 0x00AA on the family 0x10.
bool IsPowerOnScratchpad(const RomCode& rom, const Scratchpad& pad);
// The temperature of a scratchpad (bytes 0..7, CRC already checked) for the
// probe's family, with every correction; the power-on value of either
// family is a failed conversion (kPowerOnValue), another family kNotAProbe.
Reading DecodeTemperature(const RomCode& rom, const Scratchpad& pad);

// Recall E2 and read the scratchpad of the current probe; true when the CRC
// is right.
bool ReadTempScratch(NodexSession& session, Scratchpad& pad);
// The temperature in the current probe's scratchpad, without a conversion.
Reading Calc1820TemperatureFromScratchBuf(NodexSession& session, const RomCode& rom);
// Selects the probe's line, converts, sleeps and reads; a conversion that
// left the power-on value is made once more before it counts as failed.
// `pad` holds the scratchpad when it was read intact.
Reading ReadTemperature(NodexSession& session, int line, const RomCode& rom, Scratchpad& pad);
Reading ReadTemperature(NodexSession& session, int line, const RomCode& rom);

}  // namespace qrv
