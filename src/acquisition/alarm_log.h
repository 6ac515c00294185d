#pragma once

#include <filesystem>
#include <mutex>
#include <string_view>

#include "runtime/clock.h"
#include "runtime/event_log.h"

namespace qrv::acquisition {

// The alarm file "QRVAlarm.txt": one "YYYY-MM-DD HH:MM: message" line per
// alarm event, created with its header, kept read-only between writes. Each
// write is a single append; one that fails is recorded in the program log,
// so a lost alarm line never goes unnoticed.
class AlarmLog {
  public:
    AlarmLog(std::filesystem::path path, const Clock& clock, EventLog& programLog)
        : path_(std::move(path)), clock_(clock), programLog_(programLog) {}

    void LogAlarmToDisk(std::string_view message);
    const std::filesystem::path& Path() const { return path_; }

  private:
    std::filesystem::path path_;
    const Clock& clock_;
    EventLog& programLog_;
    std::mutex mutex_;
};

}  // namespace qrv::acquisition
