#pragma once

#include <vector>

#include "mqtt/mqtt_message.h"
#include "mqtt/mqtt_topics.h"
#include "mqtt/probe_payloads.h"

namespace qrv::mqtt {

// Seconds without a state after which Home Assistant shows a probe as
// unavailable: three of its reading periods (every active probe is read in
// turn, two seconds each) and a minute, at least three minutes.
int ExpireAfterSeconds(int activeProbes);

// The retained Home Assistant discovery configs of a probe that is not off:
// its value (sensor, or binary_sensor for a door contact), its alarm state
// (sensor) and, for a temperature or humidity, its alarm on the time out of
// range (a problem binary_sensor). Nothing for a probe of an unknown type.
std::vector<MqttMessage> ProbeDiscovery(const MqttIdentity& identity, const PublishedProbe& probe,
                                        int expireAfterSeconds);
// The topics ProbeDiscovery() uses for the probe, whatever its status.
std::vector<std::string> ProbeDiscoveryTopics(const MqttIdentity& identity,
                                              const PublishedProbe& probe);
// The station's own entity: a problem binary_sensor for its alarm.
MqttMessage StationDiscovery(const MqttIdentity& identity);

}  // namespace qrv::mqtt
