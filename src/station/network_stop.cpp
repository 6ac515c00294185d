#include "station/network_stop.h"

#include "onewire/nodex_session.h"
#include "onewire/port_check.h"
#include "station/live_monitoring.h"
#include "station/standing_alarms.h"
#include "station/station_records.h"
#include "station/status_fields.h"
#include "text/texts.h"

namespace qrv::shell {

void StopHetNetwerk(StationState& state, const ShellServices& services,
                    acquisition::AlarmClearReason reason) {
    StatusDisplay& display = services.display;
    services.display.SetWaitCursor(true);
    DoeDisplayMessage(display, text::Plain(text::Key::Mess_CloseData, state.settings.Taal));
    services.networkTimer.StopNetworkTimer();
    SuspendDisplayTimer(state);
    services.monitoring.StoreLastBlock();
    state.CommunicationErrorAlarm = 0;
    state.SensorAlarm = 0;
    DisplayAlarmHok(state, display, false);
    display.ShowAlarmButton(false);
    display.SetAlarmButton(1);
    state.AlarmUserStatus = 1;
    display.ShowLogo(true);
    StandingAlarms::Take(state.sensors.Copy())
        .WriteOff(reason, services.monitoring.Acquisition().AlarmFile());
    state.sensors.Lock()->ClearAlarmInAllSensors();
    const int port = state.settings.SerialPort;
    services.bus.Run([&services, port] {
        NodexSession& session = services.session;
        session.StopOneWireSession();
        session.FlushOwSessions();
        CloseSerialPortConnection(services.ports, port);
    });
    state.NetWorkInstalled = 0;
    ShowMonitoringState(state, display);
    AuditEventBy(state, services.clock, services.log, GivenBy(state, services.via),
                 "acquisition stopped");
    ResumeDisplayTimer(state);
    services.display.SetWaitCursor(false);
}

}  // namespace qrv::shell
