#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "runtime/clock.h"
#include "runtime/dialogs.h"
#include "runtime/event_log.h"
#include "settings/system_settings.h"

namespace qrv {

inline constexpr std::string_view kIniVersionLine = "QRVNL INI FILE Vs 1.10";

// Loads QRVNL.INI into settings. Returns 0 when every checked line was as
// expected, kFileDoesNotExist / kFileCannotOpenForReading (settings untouched),
// or minus the number of checked lines that did not match (the good lines are
// still taken). Only settings whose lines could be read change; the ranges
// are enforced afterwards.
// A text setting (destination, program path) whose value holds control
// characters or bytes that are no Windows-1252 text is damage, not a value: it
// is not taken (the setting keeps what it had, at start-up its default) and
// counts as a line that did not match.
int ReadIniFile(const std::filesystem::path& iniFileName, SystemSettings& settings);
// The same, writing to log which text setting was refused.
int ReadIniFile(const std::filesystem::path& iniFileName, SystemSettings& settings, EventLog& log);
// The same for the file's bytes already in memory.
int ReadIniBytes(std::string_view bytes, SystemSettings& settings);

// Rewrites QRVNL.INI whole from settings (after enforcing the ranges on them).
// The old file is replaced only once the new one is completely written, and
// never when it is there but cannot be read (that is logged). On failure
// shows the file-error popup and returns kFileCannotOpenForWriting.
int WriteIniFile(const std::filesystem::path& iniFileName, SystemSettings& settings,
                 const Clock& clock, Dialogs& dialogs, EventLog& log);
// The bytes WriteIniFile writes.
std::string FormatIniFile(SystemSettings& settings, const Clock& clock);

}  // namespace qrv
