#include "app/shell/results_table.h"

namespace qrv::shell {

void InitTheResultsTable(StationState& state, ResultsTableView& view, StatusDisplay& display) {
    // A rebuild may come while acquisition runs (a change of language): the
    // rows are built from a copy.
    const SensorTable table = state.sensors.Copy();
    const int last = table.GetMax1820Index();
    view.SetHeaders(BuildResultsHeaders(table.NetworkName, state.settings.Taal,
                                        state.settings.GeneralAlarmEnable));
    if (last < 0) {
        state.SensorListActive = 0;
        view.SetRowCount(0);
        display.ShowLogo(true);
        return;
    }
    display.ShowLogo(false);
    view.SetRowCount(last + 1);
    for (int index = 0; index <= last; ++index) {
        UpdateTheResultsTable(state, view, table, index);
    }
    state.SensorListActive = 1;
}

void UpdateTheResultsTable(StationState& state, ResultsTableView& view, const SensorTable& table,
                           int index) {
    view.SetRow(index, BuildResultsRow(table.SensorArray[static_cast<std::size_t>(index)],
                                       state.settings.Taal, state.AlarmUserStatus == 0));
    view.HideTheTable(state.CommunicationErrorAlarm != 0);
}

}  // namespace qrv::shell
