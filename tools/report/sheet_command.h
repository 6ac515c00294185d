#pragma once

#include <filesystem>

#include "report_command.h"

namespace qrv::report {

// `sheet YYYY MM [--probe PROBE] (--csv | --pdf FILE)`: the daily minimum and
// maximum sheet of a month from the stored result files, one row per day and
// probe: minimum and maximum with their times, the minutes above the high and
// below the low alarm limit, the day's alarms and acknowledgements from the
// alarm file, and an empty column for initials.
int RunSheet(const std::filesystem::path& station, CommandArgs args, const ToolOutput& output);

}  // namespace qrv::report
