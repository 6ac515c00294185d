#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace qrv::shell {

// The station cannot run without a directory it can write. These say which
// directory and why not, for the terminal and a popup (fixed English texts:
// the settings and their language are not read yet).

// Creates the station directory when it is missing and checks that it can be
// written. nullopt when it can be used, else what is wrong.
std::optional<std::string> PrepareStationDirectory(const std::filesystem::path& directory);

// The lock file that keeps a second station off the directory could not be
// created (error: its errno).
std::string StationLockFileProblem(const std::filesystem::path& directory, int error);

}  // namespace qrv::shell
