#pragma once

#include <filesystem>
#include <vector>

#include "app/shell/main_window_view.h"
#include "runtime/clock.h"
#include "runtime/serial_port.h"
#include "sensors/sensor_table.h"
#include "station/shell_services.h"
#include "station/station_state.h"

namespace qrv::shell {

inline constexpr int kFirstListedYear = 1998;
inline constexpr int kYearsBack = 10;

// The COM ports 1..8 whose device is there (or that the simulated unit
// serves). None is opened: opening a port switches its modem lines, which
// may power another device; only the port the user picks is opened.
std::vector<int> AvailableComPorts(const PortMap& map);

// One item per used probe record, in index order.
std::vector<ProbeMenuItem> ProbeItems(const SensorTable& table);

// The years, from ten years back to this year and never before 1998, for
// which the data directory holds at least one day results file
// ("YYYY-*.qrd"). Creates the data directory when it is missing.
std::vector<int> YearsWithResults(const std::filesystem::path& dataDirectory, int thisYear);

// Fills the year submenus of the reports from the mode's data directory.
void AddYearsAsSubMenuItems(StationState& state, const Clock& clock, MainWindowView& view);
// After a store: refills them when the store began the first file of a year
// they do not list yet.
void AddYearOfNewFile(StationState& state, const Clock& clock, MainWindowView& view);

}  // namespace qrv::shell
