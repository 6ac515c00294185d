// [mqtt] of quorvanel.toml: what a user writes, what a mistake costs.
#include <gtest/gtest.h>

#include <algorithm>

#include "config/station_config.h"

namespace qrv {
namespace {

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line + "\n";
    }
    return text;
}

TEST(MqttConfig, IsOffWithoutASectionAndReadsEveryKey) {
    StationConfigRead read = ParseStationConfig("[service]\nlog_to_stderr = false\n", "q.toml");
    EXPECT_TRUE(read.problems.empty());
    EXPECT_FALSE(read.config.mqtt.enabled);
    EXPECT_FALSE(read.config.mqtt.commands);
    EXPECT_EQ(read.config.mqtt.Port(), 1883);
    EXPECT_EQ(read.config.mqtt.discoveryPrefix, "homeassistant");

    read = ParseStationConfig(
        "[mqtt]\n"
        "enabled = true\n"
        "host = \"broker.lan\"\n"
        "tls = true\n"
        "ca_file = \"ca.crt\"\n"
        "user = \"station\"\n"
        "password_file = \"mqtt.pw\"\n"
        "client_id = \"cold-store-1\"\n"
        "base_topic = \"sites/gent\"\n"
        "station_id = \"Cold_Store-1\"\n"
        "discovery_prefix = \"ha\"\n"
        "commands = true\n"
        "keepalive_seconds = 30\n",
        "q.toml");
    EXPECT_TRUE(read.problems.empty()) << Joined(read.problems);
    const MqttConfig& mqtt = read.config.mqtt;
    EXPECT_TRUE(mqtt.enabled);
    EXPECT_EQ(mqtt.host, "broker.lan");
    EXPECT_EQ(mqtt.Port(), 8883) << "TLS without a port takes the TLS port";
    EXPECT_EQ(mqtt.caFile, "ca.crt");
    EXPECT_EQ(mqtt.user, "station");
    EXPECT_EQ(mqtt.passwordFile, "mqtt.pw");
    EXPECT_EQ(mqtt.clientId, "cold-store-1");
    EXPECT_EQ(mqtt.baseTopic, "sites/gent");
    EXPECT_EQ(mqtt.stationId, "Cold_Store-1");
    EXPECT_EQ(mqtt.discoveryPrefix, "ha");
    EXPECT_TRUE(mqtt.commands);
    EXPECT_EQ(mqtt.keepaliveSeconds, 30);
}

TEST(MqttConfig, ABadValueNamesFileLineAndKeyAndKeepsTheDefault) {
    const StationConfigRead read = ParseStationConfig(
        "[mqtt]\n"
        "enabled = \"yes\"\n"
        "port = 70000\n"
        "base_topic = \"site/#\"\n"
        "station_id = \"cold store\"\n"
        "discovery_prefix = \"/ha\"\n"
        "host = \"\"\n"
        "colour = \"blue\"\n",
        "q.toml");
    const std::string text = Joined(read.problems);
    ASSERT_EQ(read.problems.size(), 7u) << text;
    EXPECT_NE(text.find("q.toml:2: mqtt.enabled: must be true or false; the default false"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("q.toml:3: mqtt.port: must be a whole number from 1 to 65535"),
              std::string::npos);
    EXPECT_NE(text.find("q.toml:4: mqtt.base_topic:"), std::string::npos);
    EXPECT_NE(text.find("q.toml:5: mqtt.station_id:"), std::string::npos);
    EXPECT_NE(text.find("q.toml:6: mqtt.discovery_prefix:"), std::string::npos);
    EXPECT_NE(text.find("q.toml:7: mqtt.host:"), std::string::npos);
    EXPECT_NE(text.find("q.toml:8: mqtt.colour: unknown key"), std::string::npos);
    const MqttConfig& mqtt = read.config.mqtt;
    EXPECT_FALSE(mqtt.enabled);
    EXPECT_EQ(mqtt.Port(), 1883);
    EXPECT_EQ(mqtt.baseTopic, "quorvanel");
    EXPECT_EQ(mqtt.stationId, "");
    EXPECT_EQ(mqtt.discoveryPrefix, "homeassistant");
    EXPECT_EQ(mqtt.host, "localhost");
}

TEST(MqttConfig, APasswordNeverAppearsInAProblem) {
    StationConfigRead read = ParseStationConfig("[mqtt]\npassword = 12345678\n", "q.toml");
    ASSERT_EQ(read.problems.size(), 1u);
    EXPECT_EQ(read.problems[0].find("12345678"), std::string::npos) << read.problems[0];
    EXPECT_EQ(read.config.mqtt.password, "");

    read = ParseStationConfig("[mqtt]\npassword = \"s3cret\"\npassword_file = \"pw\"\n", "q.toml");
    ASSERT_EQ(read.problems.size(), 1u);
    EXPECT_NE(read.problems[0].find("password_file is used"), std::string::npos);
    EXPECT_EQ(read.problems[0].find("s3cret"), std::string::npos);

    read = ParseStationConfig("mqtt = 1\n", "q.toml");
    ASSERT_EQ(read.problems.size(), 1u);
    EXPECT_NE(read.problems[0].find("must be a section ([mqtt])"), std::string::npos);
}

}  // namespace
}  // namespace qrv
