#pragma once

#include <memory>

#include "mqtt/mqtt_publisher.h"
#include "mqtt/mqtt_settings.h"
#include "runtime/clock.h"
#include "runtime/event_log.h"
#include "station/live_monitoring.h"
#include "station/station_state.h"

namespace qrv::shell {

// The MQTT publisher of a station on resolved settings. Its commands, when
// allowed, are the station's own Mute, Unmute and test message (to the
// call list's first contact when there is a call list). Destroy it
// before monitoring.
std::unique_ptr<mqtt::MqttPublisher> StartMqtt(const mqtt::MqttClientSettings& settings,
                                               StationState& state, LiveMonitoring& monitoring,
                                               Clock& clock, EventLog& log);

}  // namespace qrv::shell
