#pragma once

#include <filesystem>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "records/out_of_range.h"
#include "runtime/clock.h"

namespace qrv::records {

// The alarm limits each probe had over time, from the audit trail's lines
// of their changes, so that a value is judged by the limits in force when it
// was stored: raising a limit today does not erase yesterday's excursion.
class LimitHistory {
  public:
    using Limits = std::pair<int, int>;  // low, high

    // From the trail's bytes; lines that are no limit change are passed by.
    static LimitHistory FromTrail(std::string_view bytes);

    // The limits of the probe (its serial number in hex, as the trail names
    // it) for a block stored at that minute of that day, given those it has
    // now. A change applies from the minute after it was made.
    Limits At(std::string_view serial, Limits now, int year, int month, int day, int minute) const;

    bool Changed(std::string_view serial) const { return changes_.contains(serial); }

    // The serial number of the changed probe a result file names by this
    // key; empty for a probe whose limits never changed. The key holds the
    // serial's digits but its first, which the readers make "0".
    std::string SerialOfKey(std::string_view probeKey) const;

    // A day's minutes out of range of the probe, each value against the
    // limits in force when it was stored.
    TimeOutOfRange DayOutOfRange(std::string_view serial, Limits now, int year, int month, int day,
                                 std::span<const int> minutes,
                                 std::span<const double> values) const;

  private:
    struct Change {
        LocalDateTime time;
        bool high = false;
        int from = 0;
    };
    std::map<std::string, std::vector<Change>, std::less<>> changes_;  // in trail order
};

// The trail read for a report: its limit changes, and a note for the
// reader when it exists but cannot be read (the values are then judged by
// the limits the probes have now). A station without a trail has changed
// no limit since it began one: no note.
struct TrailLimits {
    LimitHistory history;
    std::string note;
};
TrailLimits ReadTrailLimits(const std::filesystem::path& trailFile);

}  // namespace qrv::records
