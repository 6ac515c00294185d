#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "config/mqtt_config.h"
#include "config/notify_config.h"
#include "config/web_config.h"

namespace qrv {

// [service]: the station run unattended as a system service.
struct ServiceConfig {
    // How often a unit that does not answer is tried again, in seconds.
    int unitRetrySeconds = 60;
    // Log lines go to standard error too, with journald priority prefixes.
    bool logToStandardError = true;
};

// [acquisition]: how the probes are read.
struct AcquisitionConfig {
    // Every line's temperature probes convert at once under the unit's
    // strong pull-up and are read each round: every probe fresh within
    // seconds instead of one probe per measuring tick.
    bool simultaneousConversion = false;
};

// The settings that the older station's settings file has no place for, one
// member per feature and section of quorvanel.toml.
struct StationConfig {
    ServiceConfig service;
    AcquisitionConfig acquisition;
    NotifyConfig notify;
    MqttConfig mqtt;
    WebConfig web;
};

struct StationConfigRead {
    StationConfig config;
    // One line per problem, "FILE:LINE: KEY: what is wrong"; the keys named
    // kept their defaults, all others their values from the file.
    std::vector<std::string> problems;
};

// A missing file means all defaults, and no problem.
StationConfigRead ReadStationConfig(const std::filesystem::path& file);
// The same for text already read; fileName only names it in problems.
StationConfigRead ParseStationConfig(std::string_view text, const std::string& fileName);

}  // namespace qrv
