#pragma once

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

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

  private:
    struct Change {
        LocalDateTime time;
        bool high = false;
        int from = 0;
    };
    std::map<std::string, std::vector<Change>, std::less<>> changes_;  // in trail order
};

}  // namespace qrv::records
