#include "station/display_timer.h"

#include "station/live_monitoring.h"
#include "station/station_records.h"
#include "station/status_fields.h"
#include "station/trail_watch.h"

namespace qrv::shell {

namespace {

void ShowAlarmIndicators(StationState& state, const ShellServices& services) {
    StatusDisplay& display = services.display;
    const int mode = state.WantedUserMode;
    if (mode == kModeDemo || mode == kModeOffLine) {
        DisplayAlarmHok(state, display, false);
        display.ShowAlarmButton(false);
        return;
    }
    if (++state.AsyncWatchdogTimer > kWatchdogTicks) {
        services.log.LogMessageToDisk("Netwerk time-out error");
    }
    if (state.CommunicationErrorAlarm != 0 || state.SensorAlarm != 0) {
        // Acknowledged looks acknowledged: a steady banner that says by whom.
        // A new or worse alarm makes the alarm audible again, and the banner
        // flashes again with it.
        const bool acknowledged = state.AlarmUserStatus == 0;
        if (!acknowledged && !state.acknowledgementAsked) {
            display.Beep();
        }
        display.ShowAlarmButton(true);
        DisplayAlarmHok(state, display, true,
                        acknowledged ? services.monitoring.AcknowledgedBy() : std::string());
        display.ColorAlarmBanner(acknowledged ? 1 : state.blinkPhase);
    } else {
        DisplayAlarmHok(state, display, false);
        display.ShowAlarmButton(false);
    }
}

}  // namespace

void SampleTimer(StationState& state, const ShellServices& services) {
    // The clock goes on while long work has the rest of the display paused.
    DoeDisplayTijd(state, services.clock, services.display);
    if (state.DisplayTimerEnable == 0) {
        return;
    }
    state.blinkPhase = state.blinkPhase == 0 ? 1 : 0;

    switch (state.WantedUserMode) {
        case kModeDemo:
            ShowDemoText(state, services.display, state.blinkPhase);
            break;
        case kModeOffLine:
            ShowOffLineText(state, services.display, state.blinkPhase);
            break;
        default:
            services.display.ShowModeText(false);
            break;
    }
    ShowAlarmIndicators(state, services);
    ShowMonitoringState(state, services.display);
    services.display.ShowNoticeProblem(
        NoticeProblemText(services.monitoring.Notices(), state.settingsOwner.Taal()));
    // Beside a service, the service checks and reports the trail.
    if (!state.serviceMonitors) {
        CheckAuditTrailDaily(state, services);
    }
    ReloadCalibrationsIfChanged(state, services);
    if (state.NetWorkInstalled != 0) {
        services.monitoring.ReloadTimeAlarmsIfChanged();
    }
    RestoreStatusMessage(state, services.display);
}

}  // namespace qrv::shell
