#pragma once

#include <cstddef>
#include <deque>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>

#include "runtime/clock.h"
#include "runtime/event_log.h"

namespace qrv::acquisition {

// The alarm file "QRVAlarm.txt": one "YYYY-MM-DD HH:MM: message" line per
// alarm event, created with its header, kept read-only between writes. Each
// write is a single append; one that fails is recorded in the program log and
// kept, to be written when the file takes lines again, marked with the time
// it belongs to, so a full disk loses no alarm line.
class AlarmLog {
  public:
    // Lines kept while the file takes none; beyond, the oldest give way and a
    // line names how many were lost.
    static constexpr std::size_t kMaxPendingLines = 1000;

    AlarmLog(std::filesystem::path path, const Clock& clock, EventLog& programLog)
        : path_(std::move(path)), clock_(clock), programLog_(programLog) {}

    void LogAlarmToDisk(std::string_view message);
    // Writes the lines kept from failed writes, if the file takes them now.
    void WritePending();
    const std::filesystem::path& Path() const { return path_; }

  private:
    struct Pending {
        LocalDateTime when;
        std::string message;
    };

    // True when nothing is left pending.
    bool WritePendingLocked(const LocalDateTime& now);

    std::filesystem::path path_;
    const Clock& clock_;
    EventLog& programLog_;
    std::mutex mutex_;
    std::deque<Pending> pending_;
    std::size_t lost_ = 0;
};

}  // namespace qrv::acquisition
