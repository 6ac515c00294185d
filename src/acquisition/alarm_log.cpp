#include "acquisition/alarm_log.h"

#include <fmt/format.h>

#include "runtime/program_log_file.h"
#include "runtime/text_file.h"

namespace qrv::acquisition {

namespace {
constexpr std::string_view kAlarmTitle =
    "===============  Quorvanel ALARM file: ==================";
}  // namespace

void AlarmLog::LogAlarmToDisk(std::string_view message) {
    int result = kFileOk;
    {
        std::lock_guard lock(mutex_);
        result = AppendLogEntry(path_, kAlarmTitle, clock_.Now(), message);
    }
    if (result != kFileOk) {
        programLog_.LogFileNotWritten(
            fmt::format("Alarm file {} not written: {}", path_.filename().string(), message));
    }
}

}  // namespace qrv::acquisition
