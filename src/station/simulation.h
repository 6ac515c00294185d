#pragma once

#include <optional>
#include <string>

#include "runtime/serial_port.h"

namespace qrv::shell {

// "simulator" for the built-in sample network, "simulator:FILE" for a network
// described in FILE.
std::string SimulatorPortName(const std::string& networkFile);

// The port map with the configured COM port pointed at the simulated unit.
PortMap MapPortToSimulator(PortMap map, int comPort, const std::string& networkFile);

}  // namespace qrv::shell
