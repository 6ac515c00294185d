#include "app/shell/display_timer.h"

#include <utility>
#include <vector>

#include "app/shell/live_monitoring.h"
#include "app/shell/menu_items.h"
#include "app/shell/results_table.h"
#include "app/shell/status_fields.h"

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
        if (state.AlarmUserStatus == 1) {
            display.Beep();
        }
        display.ShowAlarmButton(true);
        DisplayAlarmHok(state, display, true);
        display.ColorAlarmBanner(state.blinkPhase);
    } else {
        DisplayAlarmHok(state, display, false);
        display.ShowAlarmButton(false);
    }
}

// The store the acquisition asked for, and the rows of probes with new
// readings or alarms (all of them while the interface unit is silent).
void StoreAndRefreshRows(StationState& state, const ShellServices& services, MainWindowView& view) {
    if (state.StorageToDiskWanted.exchange(0) != 0) {
        if (services.monitoring.StoreResultsToDisk() != kStoreMinuteAlreadyStored) {
            AddYearOfNewFile(state, services.clock, view);
            const StoreState& stores = services.monitoring.Stores();
            view.AppendViewGraph(stores.ViewGraphNewSampleTime, stores.ViewGraphNewDay != 0);
        }
    }
    // The rows are built under the table's lock and shown after it, and the
    // current-values panel takes the table itself.
    bool shownProbeChanged = false;
    std::vector<std::pair<int, ResultsRow>> rows;
    {
        const auto table = state.sensors.Lock();
        const bool all = state.CommunicationErrorAlarm != 0;
        const int last = table->GetMax1820Index();
        for (int index = 0; index <= last; ++index) {
            SensorRecord& record = table->SensorArray[static_cast<std::size_t>(index)];
            if (all || record.NewValueCount > 0 || record.AlarmState != kAlarmNone) {
                record.NewValueCount = 0;
                if (state.SensorListActive != 0) {
                    rows.emplace_back(index, BuildResultsRow(record, state.settings.Taal));
                }
                shownProbeChanged = shownProbeChanged || index == state.ViewProbeSensor;
            }
        }
    }
    for (const auto& [index, row] : rows) {
        ShowResultsRow(state, services, index, row);
    }
    if (shownProbeChanged) {
        view.UpdateActualBigView(state.ViewProbeSensor);
    }
}

}  // namespace

void SampleTimer(StationState& state, const ShellServices& services, MainWindowView& view) {
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
    if (state.NetWorkInstalled != 0) {
        StoreAndRefreshRows(state, services, view);
    }
    RestoreStatusMessage(state, services.display);
}

}  // namespace qrv::shell
