#include "station/simulation.h"

namespace qrv::shell {

std::string SimulatorPortName(const std::string& networkFile) {
    return networkFile.empty() ? std::string("simulator") : "simulator:" + networkFile;
}

PortMap MapPortToSimulator(PortMap map, int comPort, const std::string& networkFile) {
    map.Set(comPort, SimulatorPortName(networkFile));
    return map;
}

}  // namespace qrv::shell
