#pragma once

#include <string>

namespace qrv {

// [mqtt]: readings, alarms and the station's availability published to an
// MQTT broker, with Home Assistant discovery.
struct MqttConfig {
    bool enabled = false;
    std::string host = "localhost";
    // 0: the protocol's own port, 1883, or 8883 with TLS.
    int port = 0;
    bool tls = false;
    // Certificate authority that signed the broker's certificate; empty for
    // the system's store. Relative paths are taken from the station directory.
    std::string caFile;
    std::string user;
    std::string password;
    // A file whose first line is the password, so that it need not stand in
    // this file; wins over password.
    std::string passwordFile;
    // Empty: "quorvanel-" and the station id.
    std::string clientId;
    std::string baseTopic = "quorvanel";
    // Empty: the host name, with every character a topic or an entity id
    // cannot carry replaced by "_".
    std::string stationId;
    bool discovery = true;
    std::string discoveryPrefix = "homeassistant";
    // Mute and test-SMS commands from the broker; its access control is the
    // only authorisation, hence off unless asked for.
    bool commands = false;
    int keepaliveSeconds = 60;

    int Port() const { return port != 0 ? port : (tls ? 8883 : 1883); }

    friend bool operator==(const MqttConfig&, const MqttConfig&) = default;
};

}  // namespace qrv
