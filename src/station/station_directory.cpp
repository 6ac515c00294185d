#include "station/station_directory.h"

#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace qrv::shell {

namespace {

std::string Problem(const std::filesystem::path& directory, const std::string& reason) {
    return "The station directory cannot be used:\n" + directory.string() + "\n" + reason + ".";
}

std::string Cause(int error) {
    return std::generic_category().message(error);
}

}  // namespace

std::optional<std::string> PrepareStationDirectory(const std::filesystem::path& directory) {
    std::error_code ec;
    const auto status = std::filesystem::status(directory, ec);
    if (std::filesystem::exists(status) && !std::filesystem::is_directory(status)) {
        return Problem(directory, "It is a file, not a directory");
    }
    if (!std::filesystem::exists(status)) {
        std::filesystem::create_directories(directory, ec);
        if (ec) {
            return Problem(directory, "It cannot be created: " + ec.message());
        }
    }
    // A read-only medium or a directory of another user: nothing could be
    // saved, so say so now rather than at the first file written.
    if (::access(directory.c_str(), W_OK | X_OK) != 0) {
        return Problem(directory, "It cannot be written: " + Cause(errno));
    }
    return std::nullopt;
}

std::string StationLockFileProblem(const std::filesystem::path& directory, int error) {
    return Problem(directory, "Its lock file cannot be created: " + Cause(error));
}

}  // namespace qrv::shell
