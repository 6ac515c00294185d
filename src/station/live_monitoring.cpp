#include "station/live_monitoring.h"

#include "acquisition/alarm_texts.h"
#include "notify/acknowledgement.h"
#include "station/station_records.h"
#include "station/status_fields.h"
#include "station/time_alarm_setup.h"

namespace qrv::shell {

LiveMonitoring::LiveMonitoring(StationState& state, const MonitoringPlatform& platform)
    : state_(state),
      statusMessages_(platform.display, state.settings.Taal, state.NetWorkInstalled),
      store_({state.sensors, platform.clock, statusMessages_, platform.log, feed_}),
      acquisition_({state, state.sensors, platform.session, platform.clock, platform.display,
                    platform.log, state.settingsOwner, platform.launcher, platform.timers,
                    state.paths.AlarmFileName(), store_.State().LastSampleTime, feed_,
                    state.calibrations}),
      clock_(platform.clock),
      log_(platform.log) {}

void LiveMonitoring::StartNotifications(const NotifyConfig& config) {
    notifier_.reset();
    acquisition_.AlarmSms().SetTakenOver(!config.contacts.empty());
    if (!config.contacts.empty()) {
        notifier_ = std::make_unique<notify::Notifier>(
            config, notify::NotifierContext{feed_, state_.sensors, state_.settingsOwner, clock_,
                                            log_, acquisition_.Sms(), acquisition_.AlarmFile(),
                                            acquisition_.Alarms().TimeAlarms(),
                                            state_.paths.CurrentDirName / notify::kCallListFileName,
                                            notices_});
    }
}

void LiveMonitoring::Mute(std::string_view who, std::string_view comment, Via via) {
    {
        std::lock_guard lock(acknowledgedMutex_);
        acknowledgedBy_ = who.empty() ? std::string("unknown user") : std::string(who);
    }
    state_.AlarmUserStatus = 0;
    const std::string by = WhoVia(who, via);
    log_.LogMessageToDisk("Alarm switched OFF by " + by);
    notify::RecordAcknowledgement(acquisition_.AlarmFile(), feed_, clock_, by, comment);
    AuditEventBy(state_, clock_, log_, by, "alarm acknowledged", {}, comment);
}

std::string LiveMonitoring::AcknowledgedBy() const {
    std::lock_guard lock(acknowledgedMutex_);
    return acknowledgedBy_;
}

void LiveMonitoring::Unmute(std::string_view who, Via via) {
    state_.AlarmUserStatus = 1;
    const std::string by = WhoVia(who, via);
    log_.LogMessageToDisk("Alarm switched ON by " + by);
    AuditEventBy(state_, clock_, log_, by, "alarm switched on");
    LiveEvent event = StationEvent(LiveEventKind::kUnmuted, clock_.Now());
    event.by = by;
    feed_.Publish(event);
}

bool LiveMonitoring::SendTestMessage(std::optional<int> contact, std::string_view who, Via via) {
    const std::string by = WhoVia(who, via);
    if (notifier_ != nullptr) {
        const std::vector<NotifyContact>& contacts = notifier_->Contacts();
        if (!contact || *contact < 0 || *contact >= static_cast<int>(contacts.size())) {
            return false;
        }
        const std::string& name = contacts[static_cast<std::size_t>(*contact)].name;
        log_.LogMessageToDisk("Test message to " + name + " sent by " + by);
        AuditEventBy(state_, clock_, log_, by, "test message sent", {}, name);
        notifier_->SendTestMessage(*contact);
        return true;
    }
    if (contact) {
        return false;
    }
    log_.LogMessageToDisk("Test SMS sent by " + by);
    AuditEventBy(state_, clock_, log_, by, "test message sent");
    std::string networkName = state_.sensors.Lock()->NetworkName;
    acquisition_.Sms().SendTestMessage(
        acquisition::TestSmsText(std::string(ViaName(via)) + " test", state_.settingsOwner.Taal(),
                                 clock_.Now(), networkName),
        [](int) {});
    return true;
}

void LiveMonitoring::StopNetworkTimer() {
    acquisition_.Cycle().StopNetworkTimer();
}

void LiveMonitoring::StartNetworkTimer() {
    SuspendDisplayTimer(state_);
    std::string networkName = state_.sensors.Lock()->NetworkName;
    acquisition_.Alarms().SetNetworkName(std::move(networkName));
    PrepareTimeAlarms(state_, acquisition_.Alarms().TimeAlarms(), clock_, log_);
    acquisition_.Cycle().StartNetworkTimer();
    ResumeDisplayTimer(state_);
}

void LiveMonitoring::ReloadTimeAlarmsIfChanged() {
    if (shell::ReloadTimeAlarmsIfChanged(state_, acquisition_.Alarms().TimeAlarms(), clock_,
                                         log_)) {
        feed_.Publish(StationEvent(LiveEventKind::kTimeAlarmsReread, clock_.Now()));
    }
}

StoreResult LiveMonitoring::StoreResultsToDisk() {
    return store_.StoreResultsToDisk(state_.paths.DataDirectory(state_.WantedUserMode),
                                     acquisition_.Cycle().StaleReadings());
}

}  // namespace qrv::shell
