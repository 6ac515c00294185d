#pragma once

#include <optional>
#include <string>

#include "runtime/clock.h"
#include "runtime/serial_port.h"

namespace qrv::shell {

// "simulator" for the built-in sample network, "simulator:FILE" for a network
// described in FILE.
std::string SimulatorPortName(const std::string& networkFile);

// The port map with the configured COM port pointed at the simulated unit.
PortMap MapPortToSimulator(PortMap map, int comPort, const std::string& networkFile);

// The factory that opens "simulator..." ports, or an empty function while
// this build has no simulated unit to offer.
SerialPortProvider::SimulatorFactory MakeSimulatorFactory(Clock& clock);

}  // namespace qrv::shell
