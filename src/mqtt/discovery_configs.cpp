#include "mqtt/discovery_configs.h"

#include <algorithm>
#include <cctype>

#include "mqtt/json_text.h"
#include "sensors/rom_text.h"

namespace qrv::mqtt {

namespace {

constexpr const char* kProductName = "Quorvanel";

struct Entity {
    std::string component;
    // The object id's end, after the ROM: what the entity shows.
    std::string quantity;
};

std::vector<Entity> EntitiesOf(int sensorType) {
    switch (sensorType) {
        case kTypeTemperature:
            return {
                {"sensor", "temperature"}, {"sensor", "alarm"}, {"binary_sensor", "time_alarm"}};
        case kTypeHumidity:
            return {{"sensor", "humidity"}, {"sensor", "alarm"}, {"binary_sensor", "time_alarm"}};
        case kTypeSwitch:
            return {{"binary_sensor", "contact"}, {"sensor", "alarm"}};
        default:
            return {};
    }
}

// Entity ids are lower case letters, digits and "_"; the object ids made
// here are hex ROMs and words, which this keeps apart.
std::string EntityIdPart(const std::string& text) {
    std::string part;
    for (const char c : text) {
        part += std::isalnum(static_cast<unsigned char>(c)) != 0
                    ? static_cast<char>(std::tolower(static_cast<unsigned char>(c)))
                    : '_';
    }
    return part;
}

nlohmann::json Device(const MqttIdentity& identity) {
    return {{"identifiers", nlohmann::json::array({"quorvanel_" + identity.stationId})},
            {"name", std::string(kProductName) + " " + identity.stationId},
            {"manufacturer", kProductName},
            {"model", "1-Wire monitoring station"},
            {"sw_version", identity.swVersion}};
}

nlohmann::json Common(const MqttIdentity& identity, const std::string& component,
                      const std::string& objectId, const std::string& name) {
    const std::string uniqueId = "quorvanel_" + identity.stationId + "_" + objectId;
    const std::string entityId =
        "quorvanel_" + StationEntityPart(identity.stationId) + "_" + EntityIdPart(objectId);
    return {{"name", name},
            {"unique_id", uniqueId},
            {"default_entity_id", component + "." + entityId},
            {"availability", nlohmann::json::array({{{"topic", identity.StatusTopic()},
                                                     {"payload_available", "online"},
                                                     {"payload_not_available", "offline"}}})},
            {"device", Device(identity)},
            {"origin", {{"name", kProductName}, {"sw_version", identity.swVersion}}}};
}

std::string ObjectId(const PublishedProbe& probe, const Entity& entity) {
    return RomToHex(probe.rom) + "_" + entity.quantity;
}

nlohmann::json ProbeEntity(const MqttIdentity& identity, const PublishedProbe& probe,
                           const Entity& entity, int expireAfterSeconds) {
    if (entity.quantity == "alarm") {
        nlohmann::json json =
            Common(identity, entity.component, ObjectId(probe, entity), probe.name + " alarm");
        json["state_topic"] = identity.ProbeAlarmTopic(probe.rom);
        json["value_template"] = "{{ value_json.state }}";
        // The state, the one before and since when: they change together.
        json["json_attributes_topic"] = identity.ProbeAlarmTopic(probe.rom);
        json["icon"] = "mdi:alarm-light-outline";
        return json;
    }
    if (entity.quantity == "time_alarm") {
        // Like the alarm entity it has no expiry: a probe that falls silent
        // keeps the alarm it has until the station says it ended.
        nlohmann::json json = Common(identity, entity.component, ObjectId(probe, entity),
                                     probe.name + " time out of range");
        json["state_topic"] = identity.ProbeStateTopic(probe.rom);
        json["value_template"] = "{{ 'ON' if value_json.time_alarm else 'OFF' }}";
        json["json_attributes_topic"] = identity.ProbeAttributesTopic(probe.rom);
        // Attributes must be an object, also while no alarm stands.
        json["json_attributes_template"] = "{{ (value_json.time_alarm or {}) | tojson }}";
        json["device_class"] = "problem";
        json["payload_on"] = "ON";
        json["payload_off"] = "OFF";
        return json;
    }
    nlohmann::json json = Common(identity, entity.component, ObjectId(probe, entity), probe.name);
    json["state_topic"] = identity.ProbeStateTopic(probe.rom);
    // Not the state's topic: its time changes with every reading, and Home
    // Assistant would record the attributes anew each time.
    json["json_attributes_topic"] = identity.ProbeAttributesTopic(probe.rom);
    json["expire_after"] = expireAfterSeconds;
    if (entity.quantity == "contact") {
        json["device_class"] = "door";
        json["value_template"] = "{{ value_json.contact }}";
        json["payload_on"] = "ON";
        json["payload_off"] = "OFF";
        return json;
    }
    json["value_template"] = "{{ value_json.value }}";
    json["device_class"] = entity.quantity;
    json["unit_of_measurement"] = entity.quantity == "temperature" ? "\u00B0C" : "%";
    json["state_class"] = "measurement";
    json["suggested_display_precision"] = 1;
    return json;
}

}  // namespace

int ExpireAfterSeconds(int activeProbes) {
    return std::max(180, 3 * 2 * activeProbes + 60);
}

std::vector<MqttMessage> ProbeDiscovery(const MqttIdentity& identity, const PublishedProbe& probe,
                                        int expireAfterSeconds) {
    std::vector<MqttMessage> messages;
    if (probe.status == kStatusOff) {
        return messages;
    }
    for (const Entity& entity : EntitiesOf(probe.sensorType)) {
        messages.push_back({identity.DiscoveryTopic(entity.component, ObjectId(probe, entity)),
                            JsonText(ProbeEntity(identity, probe, entity, expireAfterSeconds)),
                            true});
    }
    return messages;
}

std::vector<std::string> ProbeDiscoveryTopics(const MqttIdentity& identity,
                                              const PublishedProbe& probe) {
    std::vector<std::string> topics;
    for (const Entity& entity : EntitiesOf(probe.sensorType)) {
        topics.push_back(identity.DiscoveryTopic(entity.component, ObjectId(probe, entity)));
    }
    return topics;
}

MqttMessage StationDiscovery(const MqttIdentity& identity) {
    nlohmann::json json = Common(identity, "binary_sensor", "alarm", "Alarm");
    json["state_topic"] = identity.StationAlarmTopic();
    json["device_class"] = "problem";
    json["payload_on"] = "ON";
    json["payload_off"] = "OFF";
    return {identity.DiscoveryTopic("binary_sensor", "alarm"), JsonText(json), true};
}

}  // namespace qrv::mqtt
