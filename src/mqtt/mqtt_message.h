#pragma once

#include <string>

namespace qrv::mqtt {

// One publication. An empty retained payload deletes what the broker keeps
// on the topic (and, for a discovery config, the entity).
struct MqttMessage {
    std::string topic;
    std::string payload;
    bool retained = true;

    friend bool operator==(const MqttMessage&, const MqttMessage&) = default;
};

}  // namespace qrv::mqtt
