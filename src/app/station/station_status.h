#pragma once

#include <optional>
#include <string>

#include "app/station/journal_log.h"
#include "feed/live_feed.h"
#include "runtime/clock.h"
#include "station/live_monitoring.h"
#include "station/shell_services.h"
#include "station/station_state.h"

namespace qrv::station {

// What `systemctl status` shows of the station: the number of probes, the
// alarms standing and the time of the last store of the day's values. Kept
// by the display timer's tick, on the main thread.
class StationStatus {
  public:
    StationStatus(shell::StationState& state, shell::LiveMonitoring& monitoring,
                  const JournalLog& journal)
        : state_(state),
          monitoring_(monitoring),
          journal_(journal),
          stores_(monitoring.Feed().Subscribe()) {}

    // One tick of the display timer; notes the stores made since the last.
    void DisplayTick(const shell::ShellServices& services);
    std::string Text() const;

  private:
    shell::StationState& state_;
    shell::LiveMonitoring& monitoring_;
    const JournalLog& journal_;
    // Minutes of the day of the last store this run, if any.
    std::optional<int> lastStore_;
    // The feed, for the stores.
    FeedSubscription stores_;
};

}  // namespace qrv::station
