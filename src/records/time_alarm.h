#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "records/out_of_range.h"
#include "runtime/clock.h"
#include "sensors/sensor_record.h"

namespace qrv::records {

// The window the alarm on cumulative time out of range looks back over.
inline constexpr int kTimeAlarmWindowMinutes = 1440;

// A probe's alarm on the minutes out of range in the last 24 hours: it
// stands while the minutes above the high alarm limit are more than
// minutesAbove, or those below the low limit more than minutesBelow. Either
// threshold may be unset, not both.
struct TimeAlarm {
    RomCode rom{};
    std::optional<int> minutesAbove;
    std::optional<int> minutesBelow;

    friend bool operator==(const TimeAlarm&, const TimeAlarm&) = default;
};

// Why a threshold is refused (1 to 1439 minutes: a day has no more to
// pass), empty when it is sound.
std::string TimeAlarmThresholdProblem(int minutes);

struct TimeAlarmBook {
    std::vector<TimeAlarm> entries;
    const TimeAlarm* Find(const RomCode& rom) const;
    void Set(const TimeAlarm& alarm);
    bool Remove(const RomCode& rom);
    friend bool operator==(const TimeAlarmBook&, const TimeAlarmBook&) = default;
};

struct TimeAlarmFileResult {
    TimeAlarmBook book;
    std::string error;  // empty when read, or when there is no file yet
};

// The thresholds, "QRVTimeAlarms.json" in the station directory, keyed by
// ROM; written by the station's own tools, so a rewrite loses nothing a user
// typed (quorvanel.toml keeps the user's comments and is never rewritten).
inline constexpr std::string_view kTimeAlarmFileName = "QRVTimeAlarms.json";
TimeAlarmFileResult ReadTimeAlarmFile(const std::filesystem::path& path);
// Written whole through a temporary file; false when it could not be.
bool WriteTimeAlarmFile(const std::filesystem::path& path, const TimeAlarmBook& book);

struct TimeAlarmUpdate {
    std::optional<TimeAlarm> before;  // the probe's thresholds before, if any
    std::optional<TimeAlarm> after;   // none once both sides are cleared
    bool changed = false;             // false: nothing to change, nothing written
    std::string error;                // the file could not be read or written
};

// Gives the probe the thresholds of `after` (none: removes the probe's).
// The file is read afresh and written whole, so a change made elsewhere
// meanwhile stays; a damaged file is left for the user to mend, not
// overwritten.
TimeAlarmUpdate UpdateTimeAlarmFile(const std::filesystem::path& file, const RomCode& rom,
                                    const std::optional<TimeAlarm>& after);

// "more than 60 min above, 30 min below in 24 h", for the audit trail and
// the listing.
std::string TimeAlarmSummary(const TimeAlarm& alarm);

// Minutes since 1970-01-01 of a local moment: the key of a minute of the
// window.
std::int64_t MinuteKey(const LocalDateTime& when);

// The seconds a probe spent above and below its limits, minute by minute
// over the last 24 hours. Fixed size: a minute older than the window is
// overwritten by the minute a day later.
class OutOfRangeWindow {
  public:
    // side: 1 above, -1 below (as OutOfRangeSide), 0 counts nothing. A
    // minute holds at most 60 seconds a side.
    void Add(std::int64_t minute, int side, int seconds);
    // Adds every minute the other window holds, as Add would.
    void Merge(const OutOfRangeWindow& other);

    struct Seconds {
        int above = 0;
        int below = 0;
    };
    // The 24 hours up to and including minute `now`.
    Seconds Last24Hours(std::int64_t now) const;

  private:
    struct Bucket {
        std::int64_t minute = -1;
        std::uint8_t above = 0;
        std::uint8_t below = 0;
    };
    std::array<Bucket, kTimeAlarmWindowMinutes> buckets_{};
};

// Whole minutes of seconds, a started minute counting: 61 s is 2 min, so a
// sum just past a threshold of 60 min shows as 61.
int MinutesOf(int seconds);

// Adds one stored day's values (minutes since midnight of `day`) to the
// window as the reports count them, each for its interval, but only the
// minutes before `before`: later ones are counted live.
void AddStoredDay(OutOfRangeWindow& window, const LocalDateTime& day, std::span<const int> minutes,
                  std::span<const double> values, double low, double high, std::int64_t before);

}  // namespace qrv::records
