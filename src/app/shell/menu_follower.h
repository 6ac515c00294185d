#pragma once

#include "app/shell/main_window_view.h"
#include "feed/live_feed.h"
#include "runtime/clock.h"
#include "runtime/serial_port.h"
#include "station/shell_services.h"
#include "station/station_state.h"

namespace qrv::shell {

// The menu bar's changing parts, kept up to date from the live-event feed:
// texts, check marks, ports and years when the station's settings change,
// the probe submenus when the probes' settings do, and the year submenus
// when a store opens a file of a year not listed yet. The station's commands
// never touch the menus themselves, so a station without a window needs no
// menus at all. Serve() runs on the window's thread.
class MenuFollower {
  public:
    MenuFollower(StationState& state, const Clock& clock, const SerialPortProvider& ports,
                 MainWindowView& view, LiveFeed& feed);

    // Applies what the feed brought since the last call.
    void Serve();
    FeedSubscription& Events() { return events_; }

  private:
    void ShowStation();
    void ShowProbes();

    StationState& state_;
    const Clock& clock_;
    const SerialPortProvider& ports_;
    MainWindowView& view_;
    FeedSubscription events_;
};

}  // namespace qrv::shell
