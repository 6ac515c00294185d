#pragma once

#include "station/shell_services.h"
#include "station/station_state.h"

namespace qrv::shell {

// Display ticks without a network tick after which the log records a time-out.
inline constexpr int kWatchdogTicks = 300;

// One tick of the main panel's display timer (once a second): clock, blinking
// mode text, watchdog, alarm banner and button, the store the acquisition
// asked for, status line. The rows and the current-values panel follow the
// live-event feed instead.
void SampleTimer(StationState& state, const ShellServices& services);

}  // namespace qrv::shell
