#pragma once

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>

#include "runtime/event_log.h"

namespace qrv::station {

// The journal's priorities (sd-daemon's "<N>" line prefixes).
enum class Priority { kCritical = 2, kError = 3, kWarning = 4, kNotice = 5, kInfo = 6 };

// The program log of a station without a display: every entry goes to the
// station's log file and, when wanted, to standard error with the journal's
// priority prefix, so that `journalctl -u quorvanel` shows what the file
// holds. Safe to use from every thread.
class JournalLog final : public EventLog {
  public:
    JournalLog(EventLog& programLog, bool toStandardError, std::FILE* out = stderr)
        : programLog_(programLog), toStandardError_(toStandardError), out_(out) {}

    // An entry of the program log at the informational priority.
    void LogMessageToDisk(std::string_view message) override;
    // An entry of the program log at the warning priority.
    void LogProblem(std::string_view message) override { Log(Priority::kWarning, message); }
    // An entry of the program log at the error priority, kept for the
    // service manager's status line.
    void LogFileNotWritten(std::string_view message) override;
    // An entry of the program log at the error priority.
    void LogFailure(std::string_view message) override { Log(Priority::kError, message); }
    // An entry of the program log at the priority given.
    void Log(Priority priority, std::string_view message);
    // A line for the journal only (the alarm banner, whose events the alarm
    // file records already).
    void JournalOnly(Priority priority, std::string_view message);

    void SetToStandardError(bool on) { toStandardError_.store(on); }

    // The last file the station could not write, as its log line said; empty
    // while none failed.
    std::string LastFileNotWritten() const;

  private:
    EventLog& programLog_;
    std::atomic<bool> toStandardError_;
    std::FILE* out_;
    mutable std::mutex fileProblemMutex_;
    std::string lastFileNotWritten_;
};

// The text on one line: line breaks and tabs become blanks, runs of blanks
// one blank, and the ends are trimmed.
std::string OneLine(std::string_view text);

}  // namespace qrv::station
