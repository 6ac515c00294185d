#include "app/shell/simulation.h"

namespace qrv::shell {

std::string SimulatorPortName(const std::string& networkFile) {
    return networkFile.empty() ? std::string("simulator") : "simulator:" + networkFile;
}

PortMap MapPortToSimulator(PortMap map, int comPort, const std::string& networkFile) {
    map.Set(comPort, SimulatorPortName(networkFile));
    return map;
}

SerialPortProvider::SimulatorFactory MakeSimulatorFactory(Clock& /*clock*/) {
    // GAP: the simulated interface unit (sim/) does not yet offer a sample
    // network or a network-file loader to build ports from. Once it does,
    // return a factory here that builds a sim::SimulatedSerialPort for
    // "simulator" and "simulator:FILE"; --simulate then takes effect.
    return {};
}

}  // namespace qrv::shell
