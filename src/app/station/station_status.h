#pragma once

#include <optional>
#include <string>

#include "app/shell/live_monitoring.h"
#include "app/shell/shell_services.h"
#include "app/shell/station_state.h"
#include "app/station/journal_log.h"
#include "runtime/clock.h"

namespace qrv::station {

// What `systemctl status` shows of the station: the number of probes, the
// alarms standing and the time of the last store of the day's values. Kept
// by the display timer's tick, on the main thread.
class StationStatus {
  public:
    StationStatus(shell::StationState& state, shell::LiveMonitoring& monitoring,
                  const JournalLog& journal)
        : state_(state), monitoring_(monitoring), journal_(journal) {}

    // One tick of the display timer, noting a store it makes.
    void DisplayTick(const shell::ShellServices& services);
    std::string Text() const;

  private:
    shell::StationState& state_;
    shell::LiveMonitoring& monitoring_;
    const JournalLog& journal_;
    // Minutes of the day of the last store this run, if any.
    std::optional<int> lastStore_;
};

}  // namespace qrv::station
