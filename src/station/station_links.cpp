#include "station/station_links.h"

#include <variant>

#include <fmt/format.h>

#include "station/mqtt_link.h"
#include "text/texts.h"

namespace qrv::shell {

StationLinks::StationLinks(StationState& state, LiveMonitoring& monitoring, Clock& clock,
                           EventLog& log, Dialogs& dialogs)
    : state_(state), monitoring_(monitoring), clock_(clock), log_(log), dialogs_(dialogs) {}

StationLinks::~StationLinks() {
    mqtt_.reset();
    web_.reset();
}

void StationLinks::Start(const StationConfig& config) {
    notify_ = config.notify;
    monitoring_.StartNotifications(notify_);
    if (!notify_.unusable.empty()) {
        const std::string file = state_.paths.ConfigFileName().filename().string();
        log_.LogProblem(
            fmt::format("The call list in {} cannot be used: {}; alarm SMS go to the "
                        "SMS program's single destination instead",
                        file, notify_.unusable));
        const int taal = state_.settingsOwner.Taal();
        dialogs_.MessagePopup(
            text::Raw(text::Key::QRVNL_TEXT, taal),
            fmt::format(fmt::runtime(text::Plain(text::Key::TXT_CALL_LIST_NOT_USED, taal)), file,
                        notify_.unusable));
    }
    StartMqttLink(ResolveMqtt(config.mqtt));
    StartWebLink(config.web);
}

void StationLinks::Reload(const StationConfig& config) {
    // The probe files are read again after this: their names are checked anew.
    if (notify::Notifier* notifier = monitoring_.Notifications()) {
        notifier->CheckProbeNamesAgain();
    }
    if (config.notify != notify_) {
        log_.LogMessageToDisk(
            "The [notify] settings changed: they take effect when the station is restarted");
    }
    std::optional<mqtt::MqttClientSettings> mqtt = ResolveMqtt(config.mqtt);
    if (mqtt != mqttSettings_) {
        StartMqttLink(std::move(mqtt));
    }
    const std::optional<WebSource> web =
        config.web.enabled ? std::optional(WebSourceOf(config.web)) : std::nullopt;
    if (web != webSource_) {
        StartWebLink(config.web);
    }
}

std::optional<mqtt::MqttClientSettings> StationLinks::ResolveMqtt(const MqttConfig& config) {
    if (!config.enabled) {
        return std::nullopt;
    }
    auto settings =
        mqtt::ResolveMqttSettings(config, state_.paths.CurrentDirName, mqtt::LocalHostName(),
                                  std::string(text::kProgramVersion));
    if (const auto* problem = std::get_if<std::string>(&settings)) {
        log_.LogProblem(*problem);
        return std::nullopt;
    }
    return std::get<mqtt::MqttClientSettings>(std::move(settings));
}

StationLinks::WebSource StationLinks::WebSourceOf(const WebConfig& config) const {
    return {config, StampOf(InStation(state_.paths, config.certFile)),
            StampOf(InStation(state_.paths, config.keyFile)),
            StampOf(WebAccountsFile(state_.paths))};
}

void StationLinks::StartMqttLink(std::optional<mqtt::MqttClientSettings> settings) {
    // The old session ends (with its offline message) before a new one
    // starts under the same client id.
    mqtt_.reset();
    mqttSettings_ = std::move(settings);
    if (mqttSettings_) {
        mqtt_ = StartMqtt(*mqttSettings_, state_, monitoring_, clock_, log_);
    }
}

void StationLinks::StartWebLink(const WebConfig& config) {
    // The listening socket must be free before the new server binds it.
    web_.reset();
    webSource_.reset();
    if (config.enabled) {
        webSource_ = WebSourceOf(config);
        web_ = std::make_unique<StationWeb>(config, state_, monitoring_, clock_, log_);
    }
}

}  // namespace qrv::shell
