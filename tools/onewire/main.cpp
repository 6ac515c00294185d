// quorvanel-onewire: diagnostics of the interface unit and its 1-Wire lines.
#include <string>
#include <vector>

#include "onewire_tool.h"

int main(int argc, char** argv) {
    qrv::RealClock clock;
    qrv::sim::SimulatorRegistry simulators(clock);
    const std::vector<std::string> args(argv + 1, argv + argc);
    return qrv::tools::RunOneWireTool(args, stdout, stderr, clock, simulators);
}
