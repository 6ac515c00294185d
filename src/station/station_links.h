#pragma once

#include <memory>
#include <optional>

#include "config/station_config.h"
#include "mqtt/mqtt_publisher.h"
#include "mqtt/mqtt_settings.h"
#include "runtime/dialogs.h"
#include "runtime/file_stamp.h"
#include "station/live_monitoring.h"
#include "station/station_state.h"
#include "station/web_link.h"

namespace qrv::shell {

// The station's links beyond its own files and outputs, as quorvanel.toml
// sets them: the call list, the MQTT client and the web dashboard. Every
// front end that monitors starts them here, and a reload goes through here,
// so an unchanged link keeps its sessions.
class StationLinks {
  public:
    StationLinks(StationState& state, LiveMonitoring& monitoring, Clock& clock, EventLog& log,
                 Dialogs& dialogs);
    // The MQTT client and the dashboard end first: they follow the monitoring.
    ~StationLinks();
    StationLinks(const StationLinks&) = delete;
    StationLinks& operator=(const StationLinks&) = delete;

    // A call list the file asks for but that cannot be used is said in the
    // log and a popup: the alarm SMS go to the SMS program's destination.
    void Start(const StationConfig& config);
    // A reread quorvanel.toml. The MQTT client and the dashboard are started
    // anew only when their settings, or the files those name, changed: an
    // unchanged broker session never goes offline. A changed [notify] waits
    // for the next start, since a new call list would forget the alarms the
    // running one escalates.
    void Reload(const StationConfig& config);

    mqtt::MqttPublisher* Mqtt() { return mqtt_.get(); }
    StationWeb* Web() { return web_.get(); }

  private:
    // What a running link was started from; a reload compares with it.
    struct WebSource {
        WebConfig config;
        FileStamp cert;
        FileStamp key;
        FileStamp accounts;
        friend bool operator==(const WebSource&, const WebSource&) = default;
    };

    std::optional<mqtt::MqttClientSettings> ResolveMqtt(const MqttConfig& config);
    WebSource WebSourceOf(const WebConfig& config) const;
    void StartMqttLink(std::optional<mqtt::MqttClientSettings> settings);
    void StartWebLink(const WebConfig& config);

    StationState& state_;
    LiveMonitoring& monitoring_;
    Clock& clock_;
    EventLog& log_;
    Dialogs& dialogs_;
    NotifyConfig notify_;
    std::optional<mqtt::MqttClientSettings> mqttSettings_;
    std::unique_ptr<mqtt::MqttPublisher> mqtt_;
    std::optional<WebSource> webSource_;
    std::unique_ptr<StationWeb> web_;
};

}  // namespace qrv::shell
