#pragma once

#include "runtime/status_display.h"
#include "sensors/sensor_table.h"
#include "station/results_row.h"
#include "station/station_state.h"

namespace qrv::shell {

// The results table of the main panel, one row per probe.
class ResultsTableView {
  public:
    virtual ~ResultsTableView() = default;
    virtual void SetHeaders(const ResultsHeaders& headers) = 0;
    // Deletes every row and inserts count empty ones; from the nineteenth
    // row on the table scrolls.
    virtual void SetRowCount(int count) = 0;
    virtual void SetRow(int index, const ResultsRow& row) = 0;
    // Hidden while the interface unit does not answer.
    virtual void HideTheTable(bool hide) = 0;
};

// Rebuilds the table from the probe table; the logo stands in for an empty one.
void InitTheResultsTable(StationState& state, ResultsTableView& view, StatusDisplay& display);
// One row of the probe at index, from a copy of the probe table.
void UpdateTheResultsTable(StationState& state, ResultsTableView& view, const SensorTable& table,
                           int index);

}  // namespace qrv::shell
