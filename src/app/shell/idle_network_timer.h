#pragma once

#include "app/shell/network_timer_control.h"
#include "app/shell/station_state.h"
#include "runtime/status_display.h"

namespace qrv::shell {

// The network timer's pause and resume for a station without an acquisition
// thread: the flags and the table hand-shake only, with no probe ever read.
class IdleNetworkTimer final : public NetworkTimerControl {
  public:
    IdleNetworkTimer(StationState& state, StatusDisplay& display)
        : state_(state), display_(display) {}

    void StopNetworkTimer() override;
    void StartNetworkTimer() override;

  private:
    StationState& state_;
    StatusDisplay& display_;
};

}  // namespace qrv::shell
