#include "station/com_port.h"

#include "onewire/nodex_session.h"
#include "onewire/port_check.h"
#include "settings/settings_file.h"
#include "station/network_install.h"
#include "station/popups.h"
#include "station/station_events.h"
#include "station/station_records.h"
#include "station/status_fields.h"
#include "text/texts.h"

namespace qrv::shell {

using text::Key;

namespace {

// The new port must at least open; the unit's own check follows.
bool PortOpens(SerialPortProvider& ports, int port) {
    auto serial = ports.MakePort(port);
    if (!serial) {
        return false;
    }
    const bool opened = serial->Open(SerialSettings{}) == kSerialOk;
    serial->Close();
    return opened;
}

void MoveToPort(StationState& state, const ShellServices& services, int port) {
    NodexSession& session = services.session;
    services.networkTimer.StopNetworkTimer();
    SuspendDisplayTimer(state);
    services.bus.Run([&session] {
        session.StopOneWireSession();
        session.FlushOwSessions();
    });
    services.log.LogMessageToDisk("Change of comport: Network stopped");
    state.NetWorkInstalled = 0;
    RestoreStatusMessage(state, services.display);
    const SystemSettings before = state.settings;
    SystemSettings changed = state.settings;
    changed.SerialPort = port;
    session.SerialPort = port;
    WriteIniFile(state.paths.IniFileName(), changed, services.clock, services.dialogs,
                 services.log);
    state.settingsOwner.Replace(changed);
    AuditSettings(state, services, before, state.settings);
    AnnounceStationSettings(services, "port changed");
    if (state.WantedUserMode == kModeNormal) {
        DoeInstallNetwork(state, services);
    } else {
        // No installation follows to resume the clock and the mode text.
        ResumeDisplayTimer(state);
    }
}

}  // namespace

void SetTheNewCommPort(StationState& state, const ShellServices& services, int port) {
    const int taal = state.settings.Taal;
    if (state.serviceMonitors) {
        // Opening a port switches its power lines: the service's unit would
        // lose its power for a moment.
        Tell(services, taal, Key::Not_Poss_In_This_Mode);
        return;
    }
    services.display.SetMenuBarDimmed(true);
    bool opens = false;
    PortCheckResult check = PortCheckResult::kPortUnusable;
    services.bus.Run([&] {
        opens = PortOpens(services.ports, port);
        if (opens) {
            check = CheckSerialPortConnection(services.ports, services.clock, port);
        }
    });
    if (!opens) {
        Tell(services, taal, Key::COMPORT_NOT_AIVALABLE);
    } else if (check != PortCheckResult::kUnitAnswers) {
        Tell(services, taal, Key::MESS_CHECK_SERIAL_ERROR);
    } else if (state.NetWorkInstalled == 0 || Ask(services, taal, Key::TXT_REALLY_WANT_SETCOM,
                                                  {Key::ButtonYes, Key::ButtonNo}, 2, 2) == 1) {
        MoveToPort(state, services, port);
    }
    RestoreStatusMessage(state, services.display);
    services.display.SetMenuBarDimmed(false);
}

}  // namespace qrv::shell
