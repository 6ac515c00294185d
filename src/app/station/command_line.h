#pragma once

#include <string>
#include <variant>
#include <vector>

#include "app/station/station_program.h"

namespace qrv::station {

struct ShowHelp {};
struct ShowVersion {};
// "user ...": account management of the web dashboard; arguments are those
// after "user".
struct UserCommandLine {
    std::filesystem::path station;
    std::vector<std::string> arguments;
};
struct BadCommandLine {
    std::string problem;
};

using CommandLine =
    std::variant<StationOptions, ShowHelp, ShowVersion, UserCommandLine, BadCommandLine>;

// The arguments after the program's name. defaultStation is used without
// --station.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments,
                             const std::filesystem::path& defaultStation);

// The station directory without --station: the service's state directory
// when systemd gives one (STATE_DIRECTORY), else the user's data directory.
std::filesystem::path DefaultStationDirectory();

std::string HelpText();

}  // namespace qrv::station
