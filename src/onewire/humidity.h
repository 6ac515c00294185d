#pragma once

#include <array>
#include <cstdint>

#include "onewire/nodex_session.h"
#include "onewire/reading.h"
#include "sensors/sensor_record.h"

namespace qrv {

inline constexpr int kFamilyDs2438 = 0x26;

// Page 0 of a DS2438 as read: configuration, temperature, voltage, current,
// threshold.
using Ds2438Page = std::array<std::uint8_t, 8>;

// Temperature register (13 bits, left-justified, 0.03125 °C) and voltage
// register (10 mV per count).
double Ds2438TemperatureFromPage(const Ds2438Page& page);
double Ds2438VoltageFromPage(const Ds2438Page& page);

// Relative humidity of a ratiometric sensor, compensated for temperature and
// held to 0..100; kBadMeasurement when VDD is not a usable supply voltage
// (zero would divide by zero).
Reading HumidityFromReadings(double vdd, double vad, double celsius);

// Chooses the A/D input of the probe: vdd = 1 VDD, 0 VAD. kNone, or the fault
// of the step that failed (kInputNotSwitched when the probe kept the other
// input).
ProbeFault Prepare2438AdConversion(NodexSession& session, const RomCode& rom, int vdd);
// Converts and reads the voltage of the current probe, in volts.
Reading Meet2438VoltAdc(NodexSession& session);
// The chip's own temperature, in °C.
Reading Get2438Temperature(NodexSession& session, const RomCode& rom);
// The relative humidity. Whatever step fails, the fault is one of
// kNotSelected, kNoAnswer (also when the supply input could not be chosen),
// kInputNotSwitched (the sensor input could not be chosen) and
// kBadMeasurement.
Reading Get2438Vochtigheid(NodexSession& session, int line, const RomCode& rom);

// What a humidity reading measured on the way: the supply and sensor
// voltages and the chip's temperature.
struct Ds2438Measurements {
    Reading vdd;
    Reading vad;
    Reading celsius;
};
// The same reading as Get2438Vochtigheid, handing back its measurements.
Reading Get2438Vochtigheid(NodexSession& session, int line, const RomCode& rom,
                           Ds2438Measurements& measured);

}  // namespace qrv
