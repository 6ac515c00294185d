#include "app/shell/live_monitoring.h"

#include "app/shell/status_fields.h"

namespace qrv::shell {

LiveMonitoring::LiveMonitoring(StationState& state, const MonitoringPlatform& platform)
    : state_(state),
      statusMessages_(platform.display, state.settings.Taal, state.NetWorkInstalled),
      store_({state.sensors, platform.clock, statusMessages_, platform.log, feed_}),
      acquisition_({state, state.sensors, platform.session, platform.clock, platform.display,
                    platform.log, state.settingsOwner, platform.launcher, platform.timers,
                    state.paths.AlarmFileName(), store_.State().LastSampleTime, feed_}) {}

void LiveMonitoring::StopNetworkTimer() {
    acquisition_.Cycle().StopNetworkTimer();
}

void LiveMonitoring::StartNetworkTimer() {
    SuspendDisplayTimer(state_);
    std::string networkName = state_.sensors.Lock()->NetworkName;
    acquisition_.Alarms().SetNetworkName(std::move(networkName));
    acquisition_.Cycle().StartNetworkTimer();
    ResumeDisplayTimer(state_);
}

int LiveMonitoring::StoreResultsToDisk() {
    return store_.StoreResultsToDisk(state_.paths.DataDirectory(state_.WantedUserMode),
                                     acquisition_.Cycle().StaleReadings());
}

}  // namespace qrv::shell
