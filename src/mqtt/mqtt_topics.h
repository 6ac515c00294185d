#pragma once

#include <string>

#include "sensors/sensor_record.h"

namespace qrv::mqtt {

// Who publishes and where: the topics of one station.
struct MqttIdentity {
    std::string baseTopic = "quorvanel";
    std::string stationId;
    // Empty: no Home Assistant discovery.
    std::string discoveryPrefix = "homeassistant";
    // The program's version, for the device and origin of discovery.
    std::string swVersion;

    std::string StationTopic() const { return baseTopic + "/" + stationId; }
    // "online" while connected, the retained last will "offline".
    std::string StatusTopic() const { return StationTopic() + "/status"; }
    // Retained "ON" while an alarm stands on a probe or the unit is lost.
    std::string StationAlarmTopic() const { return StationTopic() + "/alarm"; }
    // Stores, the network lost and back, pauses: not retained.
    std::string EventTopic() const { return StationTopic() + "/event"; }
    std::string ProbeTopic(const RomCode& rom) const;
    std::string ProbeStateTopic(const RomCode& rom) const { return ProbeTopic(rom) + "/state"; }
    std::string ProbeAlarmTopic(const RomCode& rom) const { return ProbeTopic(rom) + "/alarm"; }
    // What does not change with every reading: Home Assistant's attributes.
    std::string ProbeAttributesTopic(const RomCode& rom) const {
        return ProbeTopic(rom) + "/attributes";
    }
    std::string CommandTopic(const std::string& command) const {
        return StationTopic() + "/command/" + command;
    }
    // Where Home Assistant says "online" when it starts.
    std::string HomeAssistantStatusTopic() const { return discoveryPrefix + "/status"; }
    // component: "sensor" or "binary_sensor"; objectId of [A-Za-z0-9_-].
    std::string DiscoveryTopic(const std::string& component, const std::string& objectId) const {
        return discoveryPrefix + "/" + component + "/" + stationId + "/" + objectId + "/config";
    }

    friend bool operator==(const MqttIdentity&, const MqttIdentity&) = default;
};

// The station id as a part of Home Assistant entity ids, which hold only
// a-z, 0-9 and "_": an id that is such already stays as it is; any other
// is lowered, its other characters become "_", and a checksum of the id
// as given follows, so that "cold-store", "cold_store" and "Cold_Store"
// stay three stations.
std::string StationEntityPart(const std::string& stationId);

// The host name as a station id: every character but [A-Za-z0-9_-] becomes
// "_", at most 64 characters, "station" for none.
std::string StationIdOfHostName(const std::string& hostName);

}  // namespace qrv::mqtt
