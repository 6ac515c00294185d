// quorvanel-nodex-sim: the simulated interface unit on a pseudo-terminal, for
// any 1-Wire software that talks to a DS2480B adapter.
#include <fmt/format.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>

#include "pty_server.h"
#include "sim/network_file.h"

namespace {

constexpr const char* kUsage =
    "usage: quorvanel-nodex-sim [--network FILE] [--print-sample]\n"
    "Serves the simulated interface unit on a pseudo-terminal and prints its path\n"
    "as the first line; runs until interrupted. Without --network the built-in\n"
    "sample network (every probe family on all three lines) is used.\n";

}  // namespace

int main(int argc, char** argv) {
    std::string network;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--network" && i + 1 < argc) {
            network = argv[++i];
        } else if (arg == "--print-sample") {
            fmt::print("{}\n", qrv::sim::SampleNetworkText());
            return 0;
        } else {
            fmt::print(stderr, "{}", kUsage);
            return 2;
        }
    }

    std::shared_ptr<qrv::sim::SimulatedNodex> unit;
    try {
        unit = network.empty() ? qrv::sim::MakeSampleNetwork() : qrv::sim::LoadNetworkFile(network);
    } catch (const std::exception& error) {
        fmt::print(stderr, "quorvanel-nodex-sim: {}\n", error.what());
        return 1;
    }

    // Signals arrive on a descriptor the serving loop polls, instead of
    // through a handler and a global flag.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
    const int stopFd = signalfd(-1, &stopSignals, SFD_CLOEXEC);

    qrv::RealClock clock;
    qrv::tools::PtyServer server(unit, clock);
    std::string error;
    if (stopFd < 0 || !server.Open(error)) {
        fmt::print(stderr, "quorvanel-nodex-sim: {}\n",
                   error.empty() ? "cannot watch for signals" : error);
        return 1;
    }
    fmt::print("{}\n", server.Path());
    std::fflush(stdout);
    server.Serve(stopFd);
    close(stopFd);
    return 0;
}
