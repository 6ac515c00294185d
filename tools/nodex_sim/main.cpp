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
    "usage: quorvanel-nodex-sim [--network FILE] [--trace FILE] [--print-sample]\n"
    "Serves the simulated interface unit on a pseudo-terminal and prints its path\n"
    "as the first line; runs until interrupted. Without --network the built-in\n"
    "sample network (every probe family on all three lines) is used. --trace\n"
    "writes every byte both ways with its time. The byte counters go to the\n"
    "standard error on SIGUSR1 and when the simulator ends.\n";

void PrintCounters(const qrv::sim::SimulatedNodex& unit, const qrv::tools::PtyServer& server) {
    fmt::print(stderr, "quorvanel-nodex-sim: {}  host output flushes {}\n",
               qrv::sim::FormatByteCounters(unit.Counters()), server.HostOutputFlushes());
    std::fflush(stderr);
}

}  // namespace

int main(int argc, char** argv) {
    std::string network;
    std::string tracePath;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--network" && i + 1 < argc) {
            network = argv[++i];
        } else if (arg == "--trace" && i + 1 < argc) {
            tracePath = argv[++i];
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
    qrv::TraceSink trace;
    if (!tracePath.empty() && !trace.OpenFile(tracePath)) {
        fmt::print(stderr, "quorvanel-nodex-sim: cannot write the trace file {}\n", tracePath);
        return 1;
    }

    // Signals arrive on a descriptor the serving loop polls, instead of
    // through a handler and a global flag.
    sigset_t signals;
    sigemptyset(&signals);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGUSR1}) {
        sigaddset(&signals, signal);
    }
    sigprocmask(SIG_BLOCK, &signals, nullptr);
    const int signalFd = signalfd(-1, &signals, SFD_CLOEXEC);

    qrv::RealClock clock;
    qrv::tools::PtyServer server(unit, clock);
    server.SetTrace(trace.IsOpen() ? &trace : nullptr);
    std::string error;
    if (signalFd < 0 || !server.Open(error)) {
        fmt::print(stderr, "quorvanel-nodex-sim: {}\n",
                   error.empty() ? "cannot watch for signals" : error);
        return 1;
    }
    fmt::print("{}\n", server.Path());
    std::fflush(stdout);
    server.Serve(signalFd, [&] {
        signalfd_siginfo info{};
        if (::read(signalFd, &info, sizeof info) != static_cast<ssize_t>(sizeof info)) {
            return true;
        }
        if (info.ssi_signo == SIGUSR1) {
            PrintCounters(*unit, server);
            return true;
        }
        return false;
    });
    PrintCounters(*unit, server);
    close(signalFd);
    return 0;
}
