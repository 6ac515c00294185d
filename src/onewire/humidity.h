#pragma once

#include <array>
#include <cstdint>

#include "onewire/nodex_session.h"
#include "sensors/sensor_record.h"

namespace qrv {

inline constexpr int kFamilyDs2438 = 0x26;

// Error results of Get2438Vochtigheid (all below -200).
inline constexpr double kHumRomNotCurrent = -499.0;
inline constexpr double kHumNoAccessOrVdd = -498.0;
inline constexpr double kHumVadPreparation = -497.0;
inline constexpr double kHumBadReading = -496.0;

// Page 0 of a DS2438 as read: configuration, temperature, voltage, current,
// threshold.
using Ds2438Page = std::array<std::uint8_t, 8>;

// Temperature register (13 bits, left-justified, 0.03125 °C) and voltage
// register (10 mV per count).
double Ds2438TemperatureFromPage(const Ds2438Page& page);
double Ds2438VoltageFromPage(const Ds2438Page& page);

// Relative humidity of a ratiometric sensor, compensated for temperature and
// held to 0..100; kHumBadReading when VDD is not a usable supply voltage
// (zero would divide by zero).
double HumidityFromReadings(double vdd, double vad, double celsius);

// Chooses the A/D input of the current probe: vdd = 1 VDD, 0 VAD. 0.0 or an
// error value.
double Prepare2438AdConversion(NodexSession& session, const RomCode& rom, int vdd);
// Converts and reads the voltage of the current probe; volts or an error value.
double Meet2438VoltAdc(NodexSession& session);
double Get2438Temperature(NodexSession& session, const RomCode& rom);
double Get2438Vochtigheid(NodexSession& session, int line, const RomCode& rom);

// What a humidity reading measured on the way: the supply and sensor
// voltages and the chip's temperature (each may be an error value).
struct Ds2438Measurements {
    double vdd = 0;
    double vad = 0;
    double celsius = 0;
};
// The same reading as Get2438Vochtigheid, handing back its measurements.
double Get2438Vochtigheid(NodexSession& session, int line, const RomCode& rom,
                          Ds2438Measurements& measured);

}  // namespace qrv
