#pragma once

#include <cstdint>
#include <limits>

#include "sensors/families.h"

namespace qrv {

// Why a probe gave no value. Callers react by kind: a probe that does not
// answer is on its way to the probe-lost alarm, damaged data is read again at
// its next turn, and the metrics count each kind.
enum class ProbeFault : std::uint8_t {
    kNone,
    // Its ROM could not be made the current device.
    kNotSelected,
    // It did not answer its reset and address. A humidity probe whose supply
    // input could not be chosen reports this too.
    kNoAnswer,
    // Its data came back with a bad CRC or cut short.
    kDamagedData,
    // A temperature conversion had not ended after the wait.
    kConversionNotDone,
    // A temperature probe's scratchpad still held its power-on 85.0 °C after
    // a conversion: the conversion failed (a parasite-powered probe without
    // the current it needs, a brown-out). Never a temperature.
    kPowerOnValue,
    // A humidity probe's A/D input could not be switched to the sensor.
    kInputNotSwitched,
    // Nothing usable was measured: a humidity probe's voltage or temperature
    // step failed or its supply voltage was unusable, or no reading was taken.
    kBadMeasurement,
    // The device is of no family the station reads, or of another kind than
    // the reading was for (a humidity probe in a temperature reading).
    kNotAProbe,
};

// One reading of a probe: the value in its units when fault is kNone;
// otherwise the value is NaN, so that it cannot pass for a measurement. A
// Reading made without either is a failure: nothing was measured.
struct Reading {
    double value = std::numeric_limits<double>::quiet_NaN();
    ProbeFault fault = ProbeFault::kBadMeasurement;

    static Reading Of(double value) { return Reading{value, ProbeFault::kNone}; }
    static Reading Failed(ProbeFault fault) {
        return Reading{std::numeric_limits<double>::quiet_NaN(), fault};
    }
    bool Ok() const { return fault == ProbeFault::kNone; }
};

// The sensor record and the operator's views hold a reading as one double,
// a fault as an error code below -200 that depends on the probe's kind
// (damaged data is -994 for a temperature probe, -495 for a switch input).
// This converts at that edge.
double CodedValue(DeviceKind probe, const Reading& reading);

}  // namespace qrv
