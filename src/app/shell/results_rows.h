#pragma once

#include "app/shell/results_table.h"
#include "feed/live_feed.h"
#include "station/station_state.h"

namespace qrv::shell {

// The results table, kept up to date from the live-event feed: a probe's row
// when it has a new reading or a new alarm state, every row when the
// interface unit is lost or back (the table is hidden while it does not
// answer) or when the queue had to drop events, and the whole table anew when
// the probes' or the station's settings changed. Serve() runs on the
// user-interface thread: the window calls it from its event loop when the
// subscription wakes it up, tests after the ticks they deliver.
class ResultsRows {
  public:
    ResultsRows(StationState& state, ResultsTableView& view, StatusDisplay& display,
                LiveFeed& feed);

    // Applies what the feed brought since the last call.
    void Serve();
    FeedSubscription& Events() { return events_; }

  private:
    void ShowRows(const LiveEvent* only);

    StationState& state_;
    ResultsTableView& view_;
    StatusDisplay& display_;
    FeedSubscription events_;
};

}  // namespace qrv::shell
