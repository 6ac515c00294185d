#include "app/shell/probe_table_commands.h"

#include <array>

#include "probe_editor/probe_editor.h"
#include "probe_editor/probe_name.h"
#include "sensors/sensor_file.h"
#include "station/live_monitoring.h"
#include "station/network_install.h"
#include "station/network_stop.h"
#include "station/popups.h"
#include "station/probe_editing.h"
#include "station/station_events.h"
#include "station/station_records.h"
#include "station/status_fields.h"
#include "storage/user_file.h"
#include "text/texts.h"

namespace qrv::shell {

using text::Key;

namespace {

constexpr int kNetworkNamePromptLength = 25;
constexpr double kSaveAsPauseSeconds = 1.0;

void RewriteSensorFile(StationState& state, const ShellServices& services) {
    WriteSensorFile(state.paths.SnsFileName(state.WantedUserMode), state.sensors.Copy(),
                    services.clock, services.dialogs, services.log, state.settings.Taal);
    AnnounceProbeSettings(services, "probe file written");
}

void SaveTodaysFile(StationState& state, const ShellServices& services, bool copy) {
    UserFileSaver saver(services.dialogs, services.clock, state.settings.Taal);
    saver.SetSaveAsFileName(state.SaveAsFileName);
    saver.SaveUserFile(state.paths.DataDirectory(state.WantedUserMode), copy);
    state.SaveAsFileName = saver.SaveAsFileName();
}

}  // namespace

void EditNetworkName(StationState& state, const ShellServices& services) {
    const int taal = state.settings.Taal;
    const std::string networkName = state.sensors.Lock()->NetworkName;
    const std::optional<std::string> answer = services.dialogs.PromptPopup(
        text::Raw(Key::QRVNL_TEXT, taal),
        text::Plain(Key::TXT_EDIT_NETWORK_NAME, taal) + networkName, kNetworkNamePromptLength, {});
    if (!answer || answer->empty()) {
        return;
    }
    if (CheckStoredName(*answer, kNetworkNamePromptLength) != NameCheck::kOk) {
        services.dialogs.MessagePopup(text::Raw(Key::QRVNL_TEXT, taal),
                                      NotStorableMessage(*answer, taal));
        return;
    }
    state.sensors.Lock()->NetworkName = *answer;
    // The next alarm SMS names the network as it is called now.
    services.monitoring.Acquisition().Alarms().SetNetworkName(*answer);
    RewriteSensorFile(state, services);
}

void SetAllProbesStatus(StationState& state, const ShellServices& services, int status) {
    const int taal = state.settings.Taal;
    if (state.WantedUserMode != kModeNormal) {
        Tell(services, taal, Key::Not_Poss_In_This_Mode);
        return;
    }
    const auto pause = [&state, &services] {
        services.networkTimer.StopNetworkTimer();
        SuspendDisplayTimer(state);
        state.CommunicationErrorAlarm = 0;
        state.SensorAlarm = 0;
    };
    if (DoneAllSensorsSettings(state.sensors, services.dialogs, taal, status, pause) != 1) {
        return;
    }
    RewriteSensorFile(state, services);
    static constexpr std::array<std::string_view, 3> kLogLines{
        "All sensors set to ACTIVE", "All sensors set to OFF status", "All sensors set to INHIBIT"};
    services.log.LogMessageToDisk(kLogLines[static_cast<std::size_t>(status)]);
    DoeInstallNetwork(state, services);
}

void DeleteAllProbes(StationState& state, const ShellServices& services) {
    const int taal = state.settings.Taal;
    if (state.WantedUserMode == kModeDemo) {
        Tell(services, taal, Key::Not_Poss_In_This_Mode);
        return;
    }
    if (Ask(services, taal, Key::TXT_REALLY_DELETE_PROBES, {Key::ButtonYes, Key::ButtonNo}, 2, 2) !=
        1) {
        return;
    }
    StopHetNetwerk(state, services, acquisition::AlarmClearReason::kProbesDeleted);
    state.sensors.Lock()->ClearDataBase();
    RewriteSensorFile(state, services);
    services.log.LogMessageToDisk("User deleted all probes");
    // The rows of the deleted probes give way to the logo.
    state.ResultsTableWanted = true;
}

void SaveFileAs(StationState& state, const ShellServices& services) {
    UserFileSaver saver(services.dialogs, services.clock, state.settings.Taal);
    if (!saver.ConfirmDestroyTodaysResults()) {
        return;
    }
    services.display.SetWaitCursor(true);
    services.networkTimer.StopNetworkTimer();
    SuspendDisplayTimer(state);
    services.display.ShowLogo(true);
    services.clock.Delay(kSaveAsPauseSeconds);
    services.display.SetWaitCursor(false);
    SaveTodaysFile(state, services, false);
    services.display.SetWaitCursor(true);
    services.clock.Delay(kSaveAsPauseSeconds);
    // Whether the move succeeded or not, monitoring goes on; the next store
    // starts a fresh file for today.
    DoeInstallNetwork(state, services);
    if (state.WantedUserMode == kModeDemo) {
        // Demo mode refuses the installation, which would have resumed it.
        ResumeDisplayTimer(state);
    }
}

void SaveCopyAs(StationState& state, const ShellServices& services) {
    SaveTodaysFile(state, services, true);
}

}  // namespace qrv::shell
