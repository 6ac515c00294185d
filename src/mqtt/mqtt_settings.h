#pragma once

#include <filesystem>
#include <string>
#include <variant>

#include "config/mqtt_config.h"
#include "mqtt/mqtt_topics.h"

namespace qrv::mqtt {

// The file of the station directory that keeps the retained topics the
// station has put on its broker.
inline constexpr const char* kRetainedTopicsFile = "mqtt-retained.json";

// How the publisher reaches its broker, with everything the configuration
// leaves to defaults filled in.
struct MqttClientSettings {
    std::string host;
    int port = 1883;
    bool tls = false;
    // Empty with TLS: the system's certificate store.
    std::filesystem::path caFile;
    std::string user;
    std::string password;
    std::string clientId;
    int keepaliveSeconds = 60;
    bool commands = false;
    MqttIdentity identity;
    // Where the retained topics put on the broker are kept across restarts;
    // empty: not kept, and nothing an earlier run left is removed.
    std::filesystem::path retainedFile;

    // "host:port", for the log.
    std::string BrokerName() const { return host + ":" + std::to_string(port); }

    friend bool operator==(const MqttClientSettings&, const MqttClientSettings&) = default;
};

// The settings of config for the station in stationDirectory on hostName,
// or why the publisher cannot start (a password file that cannot be read).
std::variant<MqttClientSettings, std::string> ResolveMqttSettings(
    const MqttConfig& config, const std::filesystem::path& stationDirectory,
    const std::string& hostName, const std::string& version);

// This machine's host name ("" when it has none).
std::string LocalHostName();

}  // namespace qrv::mqtt
