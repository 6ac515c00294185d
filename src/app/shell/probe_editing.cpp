#include "app/shell/probe_editing.h"

#include "app/shell/network_install.h"
#include "app/shell/station_events.h"
#include "app/shell/station_records.h"
#include "probe_editor/probe_editor.h"

namespace qrv::shell {

int DoeProbeSettingMenu(StationState& state, const ShellServices& services, int index, bool isNew,
                        bool allowNavigation) {
    const int mode = state.WantedUserMode;
    const auto audit = [&state, &services](std::string_view what, std::string_view before,
                                           std::string_view after) {
        return AuditEvent(state, services.clock, services.log, what, before, after);
    };
    const CalibrationAccess calibration{state.calibrations,
                                        state.paths.CurrentDirName / records::kCalibrationFileName,
                                        state.operatorName, audit};
    const TimeAlarmAccess timeAlarm{
        state.paths.CurrentDirName / records::kTimeAlarmFileName,
        [&state, &services](std::string_view what, std::string_view before, std::string_view after,
                            std::string_view reason) {
            return AuditEvent(state, services.clock, services.log, what, before, after, reason);
        }};
    const ProbeEditorContext context{state.sensors,
                                     services.dialogs,
                                     services.clock,
                                     services.log,
                                     state.paths.SnsFileName(mode),
                                     state.settings.Taal,
                                     mode == kModeDemo,
                                     [&services] { services.networkTimer.StopNetworkTimer(); },
                                     calibration,
                                     timeAlarm};
    ProbeEditor editor(context, services.probeEditor);
    const int result = editor.DoeProbeSettingMenu(index, isNew, allowNavigation);
    AuditProbeTable(state, services, editor.Reason());
    if (result != kEditorNothingSaved) {
        state.ResultsTableWanted = true;
        AnnounceProbeSettings(services, "probe settings saved");
    }
    return result;
}

void EventEditSensorsSubMenu(StationState& state, const ShellServices& services, int index) {
    services.display.SetMenuBarDimmed(true);
    const int result = DoeProbeSettingMenu(state, services, index, false, true);
    if (state.WantedUserMode == kModeNormal && result == kEditorDeleted) {
        DoeInstallNetwork(state, services);
    }
    services.display.SetMenuBarDimmed(false);
}

}  // namespace qrv::shell
