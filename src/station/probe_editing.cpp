#include "station/probe_editing.h"

#include "probe_editor/probe_editor.h"
#include "records/setting_changes.h"
#include "station/station_commands.h"
#include "station/station_events.h"
#include "station/station_records.h"

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
    // Stepping through the probes may have saved one before leaving the
    // last unsaved: the table, not the last leave, says whether it changed.
    const bool changed =
        result != kEditorNothingSaved ||
        !records::ProbeSettingChanges(state.auditedProbes, state.sensors.Copy()).empty();
    if (changed) {
        state.ResultsTableWanted = true;
        // The audit trail records the change as it follows the feed, for
        // the operator at the editor, with the reason given there.
        AnnounceProbeSettings(services, "probe settings saved", {}, editor.Reason());
    }
    return result;
}

void EventEditSensorsSubMenu(StationState& state, const ShellServices& services, int index) {
    services.display.SetMenuBarDimmed(true);
    SaveProbeSettings(state, services, index, false, true, Via::kWindow);
    services.display.SetMenuBarDimmed(false);
}

}  // namespace qrv::shell
