#include "app/shell/live_monitoring.h"

#include "app/shell/status_fields.h"

namespace qrv::shell {

LiveMonitoring::LiveMonitoring(StationState& state, const MonitoringPlatform& platform)
    : state_(state),
      clock_(platform.clock),
      statusMessages_(platform.display, state.settings.Taal, state.NetWorkInstalled),
      store_({state.sensors, state.handshake, platform.clock, statusMessages_, platform.log,
              state.calendar, state.DezeDagVanDeWeek}),
      acquisition_({state, state.sensors, state.handshake, platform.session, platform.clock,
                    platform.display, platform.log, state.settingsOwner, platform.launcher,
                    platform.timers, state.paths.AlarmFileName(), store_.State().LastSampleTime}) {}

void LiveMonitoring::StopNetworkTimer() {
    acquisition_.Cycle().StopNetworkTimer();
}

void LiveMonitoring::StartNetworkTimer() {
    SuspendDisplayTimer(state_);
    acquisition_.Alarms().SetNetworkName(state_.sensors.NetworkName);
    acquisition_.Cycle().StartNetworkTimer();
    ResumeDisplayTimer(state_);
}

namespace {
std::int64_t MinuteOf(const LocalDateTime& when) {
    return DaysFromCivil(when.year, when.month, when.day) * 1440 +
           static_cast<std::int64_t>(when.hour) * 60 + when.minute;
}
}  // namespace

int LiveMonitoring::StoreResultsToDisk() {
    const std::int64_t minute = MinuteOf(clock_.Now());
    const int result = store_.StoreResultsToDisk(state_.paths.DataDirectory(state_.WantedUserMode),
                                                 acquisition_.Cycle().StaleReadings());
    if (result == 0) {
        lastStoredMinute_ = minute;
    }
    return result;
}

int LiveMonitoring::StoreLastBlock() {
    if (MinuteOf(clock_.Now()) == lastStoredMinute_) {
        return 0;
    }
    return StoreResultsToDisk();
}

}  // namespace qrv::shell
