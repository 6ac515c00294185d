#pragma once

#include <filesystem>

#include "report_command.h"

namespace qrv::report {

// `audit --verify`: checks the chain of QRVAudit.txt and names the first line
// that breaks it (exit 4), or says the trail is whole (exit 0).
// `audit [--from DATE] [--to DATE] [--pdf FILE]`: the lines of those days,
// as text or as printed pages; a broken trail is said on stderr.
int RunAudit(const std::filesystem::path& station, CommandArgs args, const ToolOutput& output);

}  // namespace qrv::report
