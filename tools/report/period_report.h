#pragma once

#include <cstdio>
#include <filesystem>

#include "report_command.h"

namespace qrv::report {

// `day YYYY-MM-DD`, `week YYYY WW`, `month YYYY MM` (each with --csv and
// --demo): the period read as the report panel reads it, then per probe its
// key, name, type, units and statistics block; with --csv every stored value
// as a spreadsheet row instead; with --pdf FILE the printed report of every
// probe (for a day its day pages, with --list its daily list). 0 with data,
// 1 without, 2 on bad arguments, 3 when the PDF file cannot be written.
int RunDay(const std::filesystem::path& station, CommandArgs args, const ToolOutput& output);
int RunWeek(const std::filesystem::path& station, CommandArgs args, const ToolOutput& output);
int RunMonth(const std::filesystem::path& station, CommandArgs args, const ToolOutput& output);

// `years [--demo]`: the years that have result files, one per line.
int RunYears(const std::filesystem::path& station, CommandArgs args, const ToolOutput& output);

// `generate --from YYYY-MM-DD --days N --probes N --interval MIN [--seed N]
// [--demo]`: writes generated result files into the station's data directory.
int RunGenerate(const std::filesystem::path& station, CommandArgs args, const ToolOutput& output);

}  // namespace qrv::report
