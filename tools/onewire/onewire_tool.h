#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "runtime/clock.h"
#include "sim/network_file.h"

namespace qrv::tools {

// quorvanel-onewire: scans the unit's trunk and lines, reads probes and
// drives the outputs. args excludes the program name; returns the exit
// status (0 done, 1 the unit failed, 2 bad usage). Ports named "simulator"
// or "simulator:FILE" go to the simulated unit of `simulators`.
int RunOneWireTool(const std::vector<std::string>& args, std::FILE* out, std::FILE* err,
                   Clock& clock, sim::SimulatorRegistry& simulators);

}  // namespace qrv::tools
