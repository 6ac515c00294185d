#include "runtime/program_log_file.h"

#include <string>

#include "runtime/date_strings.h"
#include "runtime/encoding.h"
#include "runtime/text_file.h"

namespace qrv {

namespace {
constexpr std::string_view kEquals57 = "=========================================================";
constexpr std::string_view kLogTitle = "===============  Quorvanel LOG file:  ===================";

std::string Entry(const LocalDateTime& now, std::string_view message) {
    std::string line = FileDate(now);
    line += ' ';
    line += TimeText(now).substr(0, 5);
    line += ": ";
    line += Utf8ToCp1252(BlankControlCharacters(message));
    line += kCrLf;
    return line;
}

}  // namespace

int AppendLogEntry(const std::filesystem::path& path, std::string_view title,
                   const LocalDateTime& now, std::string_view message) {
    std::string bytes;
    if (!FileExists(path)) {
        bytes.append(kEquals57).append(kCrLf);
        bytes.append(title).append(kCrLf);
        bytes.append(kEquals57).append(kCrLf);
        bytes += Entry(now, path.filename().string() + " created");
    } else {
        SetReadOnly(path, false);
    }
    bytes += Entry(now, message);
    const int result = AppendToFile(path, bytes);
    SetReadOnly(path, true);
    return result;
}

ProgramLogFile::ProgramLogFile(std::filesystem::path path, const Clock& clock)
    : path_(std::move(path)), clock_(clock) {}

void ProgramLogFile::LogMessageToDisk(std::string_view message) {
    std::lock_guard lock(mutex_);
    const bool failing = AppendLogEntry(path_, kLogTitle, clock_.Now(), message) != kFileOk;
    if (failing == failing_) {
        return;
    }
    failing_ = failing;
    if (report_) {
        report_(failing, failing ? "The program log " + path_.string() +
                                       " cannot be written; its entries are lost, the first: " +
                                       std::string(message)
                                 : "The program log " + path_.string() + " is written again");
    }
}

}  // namespace qrv
