#include <cstdio>
#include <string>
#include <vector>

#include "app/shell/commands.h"
#include "app/station/command_line.h"

int main(int argc, char* argv[]) {
    using namespace qrv::station;
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const CommandLine commandLine = ParseCommandLine(arguments, DefaultStationDirectory());
    if (std::holds_alternative<ShowHelp>(commandLine)) {
        std::fputs(HelpText().c_str(), stdout);
        return 0;
    }
    if (std::holds_alternative<ShowVersion>(commandLine)) {
        std::printf("quorvanel-station %s\n", qrv::shell::kProgramVersion.data());
        return 0;
    }
    if (const auto* bad = std::get_if<BadCommandLine>(&commandLine)) {
        std::fprintf(stderr, "quorvanel-station: %s\n\n%s", bad->problem.c_str(),
                     HelpText().c_str());
        return 2;
    }
    return RunStation(std::get<StationOptions>(commandLine));
}
