#include "mqtt/mqtt_topics.h"

#include "sensors/rom_text.h"

namespace qrv::mqtt {

std::string MqttIdentity::ProbeTopic(const RomCode& rom) const {
    return StationTopic() + "/probe/" + RomToHex(rom);
}

std::string StationIdOfHostName(const std::string& hostName) {
    std::string id;
    for (const char c : hostName.substr(0, 64)) {
        const bool kept = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == '_' || c == '-';
        id += kept ? c : '_';
    }
    return id.empty() ? "station" : id;
}

}  // namespace qrv::mqtt
