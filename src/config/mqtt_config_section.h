#pragma once

#include <string>
#include <vector>

#include <toml++/toml.h>

#include "config/mqtt_config.h"

namespace qrv {

// Reads [mqtt] of root into config; each problem is one line
// "FILE:LINE: mqtt.KEY: what is wrong", and the key keeps its default.
void ReadMqttSection(const toml::table& root, const std::string& fileName, MqttConfig& config,
                     std::vector<std::string>& problems);

// Whether text can stand in a topic as one or more levels: not empty, no
// wildcard, no empty level, nothing a broker refuses.
bool IsTopicPrefix(const std::string& text);
// Whether text may be a station id: 1 to 64 of [A-Za-z0-9_-].
bool IsStationId(const std::string& text);

}  // namespace qrv
