#include "mqtt/mqtt_settings.h"

#include <unistd.h>

#include <array>
#include <fstream>

namespace qrv::mqtt {

namespace {

std::filesystem::path InStation(const std::filesystem::path& stationDirectory,
                                const std::string& file) {
    const std::filesystem::path path(file);
    return path.is_absolute() ? path : stationDirectory / path;
}

}  // namespace

std::variant<MqttClientSettings, std::string> ResolveMqttSettings(
    const MqttConfig& config, const std::filesystem::path& stationDirectory,
    const std::string& hostName, const std::string& version) {
    MqttClientSettings settings;
    settings.host = config.host;
    settings.port = config.Port();
    settings.tls = config.tls;
    if (!config.caFile.empty()) {
        settings.caFile = InStation(stationDirectory, config.caFile);
    }
    settings.user = config.user;
    settings.password = config.password;
    if (!config.passwordFile.empty()) {
        const std::filesystem::path file = InStation(stationDirectory, config.passwordFile);
        std::ifstream in(file);
        std::string line;
        if (!in || !std::getline(in, line)) {
            return "MQTT: the password file " + file.string() +
                   " cannot be read; nothing is published";
        }
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        settings.password = line;
    }
    settings.identity.baseTopic = config.baseTopic;
    settings.identity.stationId =
        config.stationId.empty() ? StationIdOfHostName(hostName) : config.stationId;
    settings.identity.discoveryPrefix = config.discovery ? config.discoveryPrefix : "";
    settings.identity.swVersion = version;
    settings.clientId =
        config.clientId.empty() ? "quorvanel-" + settings.identity.stationId : config.clientId;
    settings.keepaliveSeconds = config.keepaliveSeconds;
    settings.commands = config.commands;
    settings.retainedFile = stationDirectory / kRetainedTopicsFile;
    return settings;
}

std::string LocalHostName() {
    std::array<char, 256> name{};
    if (::gethostname(name.data(), name.size() - 1) != 0) {
        return "";
    }
    return name.data();
}

}  // namespace qrv::mqtt
