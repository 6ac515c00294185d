#pragma once

#include <filesystem>

#include "report_command.h"

namespace qrv::report {

// `calibration`: every probe's calibration and when it is due.
// `calibration set PROBE (--offset X | --points REF1 READ1 REF2 READ2)
//  --date DATE --instrument TEXT --certificate TEXT --next-due DATE [--who NAME]`
// and `calibration clear PROBE`: change one, recorded in the audit trail.
// PROBE is the 16-digit ROM, the 12-digit network address or the name.
int RunCalibration(const std::filesystem::path& station, CommandArgs args,
                   const ToolOutput& output);

}  // namespace qrv::report
