#pragma once

#include <filesystem>

#include "report_command.h"

namespace qrv::report {

// `time-alarm`: every probe's thresholds of the alarm on the minutes out of
// range in the last 24 hours.
// `time-alarm set PROBE [--above MIN] [--below MIN]` changes the sides given
// and keeps the other; `time-alarm clear PROBE [--above | --below]` removes
// one side or both. Each change is recorded in the audit trail. PROBE is the
// 16-digit ROM, the 12-digit network address or the name.
int RunTimeAlarm(const std::filesystem::path& station, CommandArgs args, const ToolOutput& output);

}  // namespace qrv::report
