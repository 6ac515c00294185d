#include "station/mqtt_link.h"

#include "acquisition/sms_handoff.h"

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
    // A message cannot name a contact: with a call list the test goes to the
    // first contact, who hears of an alarm first.
    commands.testSms = [&state, &monitoring]() -> std::string {
        const bool callList = monitoring.Notifications() != nullptr;
        if (!callList) {
            // The linked program takes it later on its own thread: one that
            // is not there is said now rather than taken as sent.
            const SystemSettings settings = state.settingsOwner.Snapshot();
            if (!acquisition::CheckIfSmsServerIsAavailable(settings)) {
                const std::string problem = acquisition::LinkedSmsProgramProblem(settings);
                return problem.empty() ? "no SMS program or destination is set up" : problem;
            }
        }
        if (!monitoring.SendTestMessage(callList ? std::optional<int>(0) : std::nullopt,
                                        kMqttCommandSender, Via::kMqtt)) {
            return "the call list has no contact";
        }
        return {};
    };
    return std::make_unique<mqtt::MqttPublisher>(
        settings, monitoring.Feed(), state.sensors,
        [&monitoring] { return monitoring.Acquisition().Alarms().TimeAlarms().Standing(); }, log,
        clock, std::move(commands));
}

}  // namespace qrv::shell
