#include "app/station/journal_log.h"

#include <fmt/format.h>

namespace qrv::station {

std::string OneLine(std::string_view text) {
    std::string line;
    for (const char c : text) {
        const bool blank = c == ' ' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
        if (!blank) {
            line += c;
        } else if (!line.empty() && line.back() != ' ') {
            line += ' ';
        }
    }
    while (!line.empty() && line.back() == ' ') {
        line.pop_back();
    }
    return line;
}

void JournalLog::LogMessageToDisk(std::string_view message) {
    Log(Priority::kInfo, message);
}

void JournalLog::Log(Priority priority, std::string_view message) {
    programLog_.LogMessageToDisk(message);
    JournalOnly(priority, message);
}

void JournalLog::JournalOnly(Priority priority, std::string_view message) {
    if (!toStandardError_.load()) {
        return;
    }
    // One write per line, so that lines of two threads never interleave.
    const std::string line = fmt::format("<{}>{}\n", static_cast<int>(priority), OneLine(message));
    std::fwrite(line.data(), 1, line.size(), out_);
    std::fflush(out_);
}

void JournalLog::LogFileNotWritten(std::string_view message) {
    {
        const std::lock_guard lock(fileProblemMutex_);
        lastFileNotWritten_ = OneLine(message);
    }
    Log(Priority::kError, message);
}

std::string JournalLog::LastFileNotWritten() const {
    const std::lock_guard lock(fileProblemMutex_);
    return lastFileNotWritten_;
}

}  // namespace qrv::station
