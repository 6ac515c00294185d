#include "app/shell/mqtt_link.h"

namespace qrv::shell {

namespace {

constexpr std::string_view kMqttCommandSender = "mqtt";

}  // namespace

std::unique_ptr<mqtt::MqttPublisher> StartMqtt(const mqtt::MqttClientSettings& settings,
                                               StationState& state, LiveMonitoring& monitoring,
                                               Clock& clock, EventLog& log) {
    mqtt::MqttCommands commands;
    // MQTT 3.1.1 does not say who published a command: the broker's access
    // control decides who may, and the lines name the front end.
    commands.muteAlarm = [&monitoring](bool mute) {
        if (mute) {
            monitoring.Mute(kMqttCommandSender, {}, Via::kMqtt);
        } else {
            monitoring.Unmute(kMqttCommandSender, Via::kMqtt);
        }
    };
    commands.testSms = [&monitoring] {
        monitoring.SendTestMessage(std::nullopt, kMqttCommandSender, Via::kMqtt);
    };
    return std::make_unique<mqtt::MqttPublisher>(
        settings, monitoring.Feed(), state.sensors,
        [&monitoring] { return monitoring.Acquisition().Alarms().TimeAlarms().Standing(); }, log,
        clock, std::move(commands));
}

}  // namespace qrv::shell
