#include "acquisition/alarm_log.h"

#include <fmt/format.h>

#include "runtime/date_strings.h"
#include "runtime/program_log_file.h"
#include "runtime/text_file.h"

namespace qrv::acquisition {

namespace {
constexpr std::string_view kAlarmTitle =
    "===============  Quorvanel ALARM file: ==================";

std::string LateMessage(const LocalDateTime& when, std::string_view message) {
    return fmt::format("(late, of {} {}) {}", FileDate(when), TimeText(when).substr(0, 5), message);
}
}  // namespace

bool AlarmLog::WritePendingLocked(const LocalDateTime& now) {
    if (lost_ > 0) {
        const std::string gap = fmt::format(
            "{} alarm lines could not be written and are lost (the file took no "
            "lines for too long)",
            lost_);
        if (AppendLogEntry(path_, kAlarmTitle, now, gap) != kFileOk) {
            return false;
        }
        lost_ = 0;
    }
    while (!pending_.empty()) {
        const Pending& line = pending_.front();
        if (AppendLogEntry(path_, kAlarmTitle, now, LateMessage(line.when, line.message)) !=
            kFileOk) {
            return false;
        }
        pending_.pop_front();
    }
    return true;
}

void AlarmLog::LogAlarmToDisk(std::string_view message) {
    bool written = false;
    {
        std::lock_guard lock(mutex_);
        const LocalDateTime now = clock_.Now();
        // Earlier lines go first, so the file keeps the order of events.
        written =
            WritePendingLocked(now) && AppendLogEntry(path_, kAlarmTitle, now, message) == kFileOk;
        if (!written) {
            if (pending_.size() >= kMaxPendingLines) {
                pending_.pop_front();
                ++lost_;
            }
            pending_.push_back({now, std::string(message)});
        }
    }
    if (!written) {
        programLog_.LogFileNotWritten(
            fmt::format("Alarm file {} not written, kept to write later: {}",
                        path_.filename().string(), message));
    }
}

void AlarmLog::WritePending() {
    std::lock_guard lock(mutex_);
    if (!pending_.empty() || lost_ > 0) {
        WritePendingLocked(clock_.Now());
    }
}

}  // namespace qrv::acquisition
