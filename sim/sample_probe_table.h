#pragma once

#include "sensors/sensor_table.h"

namespace qrv::sim {

// The probe table of a station that knows every probe of the built-in sample
// network by a name and with limits that suit what each probe measures
// (cold room, freezer, office, humidity, door contact...). A first run on
// the simulated unit starts from it instead of naming fifteen probes.
SensorTable SampleProbeTable();

}  // namespace qrv::sim
