#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "app/shell/shell_services.h"
#include "app/shell/station_state.h"
#include "sensors/sensor_record.h"

namespace qrv::shell {

inline constexpr int kResultsColumns = 4;
inline constexpr int kResultsVisibleRows = 18;

namespace results_colors {
inline constexpr std::uint32_t kRow = 0xE0E0E0;
inline constexpr std::uint32_t kText = 0x000000;
inline constexpr std::uint32_t kAlarm = 0xFF0000;
inline constexpr std::uint32_t kAlarmText = 0xFFFFFF;
inline constexpr std::uint32_t kPreAlarm = 0xFFFF80;
inline constexpr std::uint32_t kCountdown = 0xFFFFCC;
inline constexpr std::uint32_t kAlarmsOnHeading = 0x0000FF;
inline constexpr std::uint32_t kAlarmsOffHeading = 0xFF0000;
}  // namespace results_colors

struct ResultsRow {
    std::array<std::string, kResultsColumns> cells;
    std::uint32_t background = results_colors::kRow;
    std::uint32_t text = results_colors::kText;

    friend bool operator==(const ResultsRow&, const ResultsRow&) = default;
};

struct ResultsHeaders {
    std::array<std::string, kResultsColumns> titles;
    std::uint32_t alarmTitleColor = results_colors::kAlarmsOnHeading;
};

// One row of the results table: name, value, status and alarm state, with
// the row's colours.
// An alarm row says so when the alarms are acknowledged.
ResultsRow BuildResultsRow(const SensorRecord& record, int taal, bool acknowledged = false);
ResultsHeaders BuildResultsHeaders(const std::string& networkName, int taal,
                                   int generalAlarmEnable);

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
