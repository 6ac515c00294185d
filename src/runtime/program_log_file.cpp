#include "runtime/program_log_file.h"

#include <string>

#include "runtime/date_strings.h"
#include "runtime/encoding.h"
#include "runtime/text_file.h"

namespace qrv {

namespace {
constexpr std::string_view kEquals57 = "=========================================================";
constexpr std::string_view kLogTitle = "===============  Quorvanel LOG file:  ===================";
}  // namespace

ProgramLogFile::ProgramLogFile(std::filesystem::path path, const Clock& clock)
    : path_(std::move(path)), clock_(clock) {}

std::string ProgramLogFile::Entry(std::string_view message) const {
    const LocalDateTime now = clock_.Now();
    std::string line = FileDate(now);
    line += ' ';
    line += TimeText(now).substr(0, 5);
    line += ": ";
    line += Utf8ToCp1252(BlankControlCharacters(message));
    line += kCrLf;
    return line;
}

void ProgramLogFile::LogMessageToDisk(std::string_view message) {
    std::lock_guard lock(mutex_);
    std::string bytes;
    if (!FileExists(path_)) {
        bytes.append(kEquals57).append(kCrLf);
        bytes.append(kLogTitle).append(kCrLf);
        bytes.append(kEquals57).append(kCrLf);
        bytes += Entry("QRVLog.txt created");
    } else {
        SetReadOnly(path_, false);
    }
    bytes += Entry(message);
    AppendToFile(path_, bytes);
    SetReadOnly(path_, true);
}

}  // namespace qrv
