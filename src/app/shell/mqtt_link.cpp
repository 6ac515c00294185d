#include "app/shell/mqtt_link.h"

#include "acquisition/alarm_texts.h"
#include "app/shell/commands.h"

namespace qrv::shell {

std::unique_ptr<mqtt::MqttPublisher> StartMqtt(const MqttConfig& config, StationState& state,
                                               LiveMonitoring& monitoring, Clock& clock,
                                               EventLog& log) {
    if (!config.enabled) {
        return nullptr;
    }
    auto settings = mqtt::ResolveMqttSettings(config, state.paths.CurrentDirName,
                                              mqtt::LocalHostName(), std::string(kProgramVersion));
    if (const auto* problem = std::get_if<std::string>(&settings)) {
        log.LogProblem(*problem);
        return nullptr;
    }
    mqtt::MqttCommands commands;
    commands.muteAlarm = [&state](bool mute) { state.AlarmUserStatus = mute ? 0 : 1; };
    commands.testSms = [&state, &monitoring, &clock] {
        const std::string networkName = state.sensors.Lock()->NetworkName;
        monitoring.Acquisition().Sms().SendTestMessage(
            acquisition::TestSmsText("MQTT test", state.settingsOwner.Taal(), clock.Now(),
                                     networkName),
            [](int) {});
    };
    return std::make_unique<mqtt::MqttPublisher>(
        std::get<mqtt::MqttClientSettings>(settings), monitoring.Feed(), state.sensors,
        [&monitoring] { return monitoring.Acquisition().Alarms().TimeAlarms().Standing(); }, log,
        clock, std::move(commands));
}

}  // namespace qrv::shell
