#pragma once

#include <array>
#include <cstdint>
#include <string>

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

}  // namespace qrv::shell
