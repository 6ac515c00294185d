#include "station/station_state.h"

#include "notify/acknowledgement.h"

namespace qrv::shell {

void InitAllVars(StationState& state, const Clock& clock) {
    state.WantedUserMode = kModeNotChosen;
    state.CommunicationErrorAlarm = 0;
    state.SensorAlarm = 0;
    state.AlarmUserStatus = 1;
    state.ViewingGraphActive = 0;
    state.SensorListActive = 0;
    state.KnowPrinterSetting = 0;
    state.settingsOwner.Replace(SystemSettings{});
    state.sensors.Lock()->NetworkName = std::string(kDefaultNetworkName);
    state.DemoDealerMessage = std::string(kNoDealerMessage);
    state.dates = MakeDateStrings(clock.Now());
    state.operatorName = notify::LoginName();
}

}  // namespace qrv::shell
