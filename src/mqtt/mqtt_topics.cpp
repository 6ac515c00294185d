#include "mqtt/mqtt_topics.h"

#include <fmt/format.h>

#include <cstdint>

#include "sensors/rom_text.h"

namespace qrv::mqtt {

std::string MqttIdentity::ProbeTopic(const RomCode& rom) const {
    return StationTopic() + "/probe/" + RomToHex(rom);
}

std::string StationEntityPart(const std::string& stationId) {
    std::string part;
    for (const char c : stationId) {
        const bool kept = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
        part += kept ? c : (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : '_';
    }
    if (part == stationId) {
        return part;
    }
    // FNV-1a: the same on every machine and in every version, so an entity
    // id once suggested stays the one suggested.
    std::uint32_t hash = 2166136261U;
    for (const char c : stationId) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 16777619U;
    }
    return fmt::format("{}_{:08x}", part, hash);
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
