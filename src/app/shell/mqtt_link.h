#pragma once

#include <memory>

#include "app/shell/live_monitoring.h"
#include "app/shell/station_state.h"
#include "config/mqtt_config.h"
#include "mqtt/mqtt_publisher.h"

namespace qrv::shell {

// The MQTT publisher of a station when [mqtt] enables it, or none (disabled,
// or a password file that cannot be read: one line in the log). Its
// commands, when allowed, do what the alarm button and the test SMS do.
// Destroy it before monitoring.
std::unique_ptr<mqtt::MqttPublisher> StartMqtt(const MqttConfig& config, StationState& state,
                                               LiveMonitoring& monitoring, Clock& clock,
                                               EventLog& log);

}  // namespace qrv::shell
