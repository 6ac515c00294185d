#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "report_command.h"
#include "reports/page_model.h"
#include "reports/printouts/print_context.h"

namespace qrv::report {

// What the printed pages of a station show besides their data: the station's
// language, its network name (from its sensor file) and the time now.
PrintContext StationPrintContext(const std::filesystem::path& station, bool demo);

// Writes `count` pages to the PDF file at path. Returns 0, or
// kExitCannotWrite (told on stderr) when the file cannot be written or this
// build has no page layer.
int WritePdf(const ToolOutput& output, const std::string& path, int count,
             const std::function<ReportPage(int)>& page);

}  // namespace qrv::report
