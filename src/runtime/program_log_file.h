#pragma once

#include <filesystem>
#include <functional>
#include <mutex>
#include <string>

#include "runtime/clock.h"
#include "runtime/event_log.h"

namespace qrv {

// Appends one "YYYY-MM-DD HH:MM: message" entry to a station log file (the
// program log, the alarm file): a missing file is first given its three
// header lines around title and a "<file name> created" entry. The file is
// made writable for the one append and read-only again afterwards. Returns
// kFileOk or kFileCannotOpenForWriting.
int AppendLogEntry(const std::filesystem::path& path, std::string_view title,
                   const LocalDateTime& now, std::string_view message);

// The program log "QRVLog.txt": created with a three-line header and a
// "QRVLog.txt created" entry, then one "YYYY-MM-DD HH:MM: text" line per event,
// kept read-only between writes. Both threads log; a mutex keeps the
// make-writable / append / make-read-only steps of one entry together.
class ProgramLogFile final : public EventLog {
  public:
    ProgramLogFile(std::filesystem::path path, const Clock& clock);

    void LogMessageToDisk(std::string_view message) override;
    const std::filesystem::path& Path() const { return path_; }

    // Told, once, that entries cannot be written (the file is another
    // user's, the disk is full), with the entry that was lost, and once more
    // when they are written again; the log cannot say it of itself.
    using WriteTrouble = std::function<void(bool failing, const std::string& text)>;
    void ReportWriteTroubleTo(WriteTrouble report) { report_ = std::move(report); }

  private:
    std::filesystem::path path_;
    const Clock& clock_;
    std::mutex mutex_;
    WriteTrouble report_;
    bool failing_ = false;
};

}  // namespace qrv
