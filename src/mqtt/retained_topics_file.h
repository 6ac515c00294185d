#pragma once

#include <filesystem>
#include <set>
#include <string>

namespace qrv::mqtt {

// The retained topics a station has put on its broker (discovery configs,
// states, alarms, attributes), kept in a file of the station directory so
// that a probe deleted or switched off while the station was stopped is
// still known at the next connection and its entities can be removed.
struct RetainedTopicsRead {
    std::set<std::string> topics;
    // Why the file could not be used, naming it; empty when it was read or
    // is not there. A damaged file is kept aside as FILE.damaged.
    std::string problem;
};

RetainedTopicsRead ReadRetainedTopics(const std::filesystem::path& path);
// Replaces the file whole (never a half-written one); false when it cannot
// be written.
bool WriteRetainedTopics(const std::filesystem::path& path, const std::set<std::string>& topics);

}  // namespace qrv::mqtt
