#pragma once

#include <string>
#include <string_view>

#include "sensors/sensor_table.h"

namespace qrv::report {

struct ProbeLookup {
    const SensorRecord* probe = nullptr;
    std::string problem;     // why none was found, naming what was asked for
    bool ambiguous = false;  // the name belongs to more than one probe
};

// The probe of the station's table a user names on the command line: its
// 16-digit ROM, its 12-digit network address (either in any case) or its
// name. A name two probes share is refused rather than guessed.
ProbeLookup LookUpProbe(const SensorTable& table, std::string_view id);

}  // namespace qrv::report
