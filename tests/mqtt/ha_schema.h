#pragma once

// What Home Assistant's MQTT discovery documentation asks of the configs of
// a sensor and a binary_sensor, written out here rather than taken from the
// code that builds them.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <regex>
#include <string>

namespace qrv::testing {

// The key a "{{ value_json.KEY }}" template takes from the state.
inline std::string TemplateKey(const nlohmann::json& config) {
    std::smatch match;
    const std::string text = config.at("value_template").get<std::string>();
    const std::regex keyPattern(R"(^\{\{ *value_json\.([a-z_]+) *\}\}$)");
    EXPECT_TRUE(std::regex_match(text, match, keyPattern)) << text;
    return match.size() > 1 ? match[1].str() : "";
}

// What a "{{ 'ON' if value_json.KEY else 'OFF' }}" template makes of a
// state: a key that is missing fails, null and false are "OFF".
inline std::string PresenceTemplateValue(const nlohmann::json& config,
                                         const nlohmann::json& state) {
    std::smatch match;
    const std::string text = config.at("value_template").get<std::string>();
    const std::regex pattern(R"(^\{\{ *'ON' if value_json\.([a-z_]+) else 'OFF' *\}\}$)");
    if (!std::regex_match(text, match, pattern)) {
        ADD_FAILURE() << "not a presence template: " << text;
        return "";
    }
    const std::string key = match[1].str();
    if (!state.contains(key)) {
        ADD_FAILURE() << key << " missing in " << state.dump();
        return "";
    }
    const nlohmann::json& value = state[key];
    return value.is_null() || value == false ? "OFF" : "ON";
}

// Keys every entity of a station needs: identity, state, availability on the
// station's status topic, one device and the origin.
inline void ExpectEntityBasics(const nlohmann::json& config, const std::string& component,
                               const std::string& statusTopic) {
    for (const char* key : {"name", "unique_id", "state_topic", "availability", "device", "origin",
                            "default_entity_id"}) {
        EXPECT_TRUE(config.contains(key)) << key << " missing in " << config.dump();
    }
    EXPECT_FALSE(config.contains("object_id")) << "deprecated: " << config.dump();
    if (config.contains("default_entity_id")) {
        const std::string entityId = config["default_entity_id"].get<std::string>();
        EXPECT_TRUE(std::regex_match(entityId, std::regex(component + R"(\.[a-z0-9_]+)")))
            << entityId;
    }
    EXPECT_TRUE(std::regex_match(config.value("unique_id", ""), std::regex("[A-Za-z0-9_-]+")));
    if (config.contains("availability")) {
        const nlohmann::json& availability = config["availability"].at(0);
        EXPECT_EQ(availability["topic"], statusTopic);
        EXPECT_EQ(availability["payload_available"], "online");
        EXPECT_EQ(availability["payload_not_available"], "offline");
    }
    if (config.contains("device")) {
        for (const char* key : {"identifiers", "name", "model", "sw_version", "manufacturer"}) {
            EXPECT_TRUE(config["device"].contains(key)) << key;
        }
    }
    if (config.contains("origin")) {
        EXPECT_TRUE(config["origin"].contains("name"));
    }
}

// A probe's value entity: its class, unit and how long it stays valid.
inline void ExpectValueEntity(const nlohmann::json& config, const std::string& deviceClass,
                              int readingPeriodSeconds) {
    EXPECT_EQ(config.value("device_class", ""), deviceClass) << config.dump();
    if (deviceClass == "temperature" || deviceClass == "humidity") {
        EXPECT_EQ(config.value("unit_of_measurement", ""),
                  deviceClass == "temperature" ? "\u00B0C" : "%");
        EXPECT_EQ(config.value("state_class", ""), "measurement");
    } else {
        EXPECT_EQ(config.value("payload_on", ""), "ON");
        EXPECT_EQ(config.value("payload_off", ""), "OFF");
    }
    EXPECT_GT(config.value("expire_after", 0), readingPeriodSeconds);
}

}  // namespace qrv::testing
