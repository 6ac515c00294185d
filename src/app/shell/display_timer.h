#pragma once

#include "app/shell/shell_services.h"
#include "app/shell/station_state.h"

namespace qrv::shell {

// Display ticks without a network tick after which the log records a time-out.
inline constexpr int kWatchdogTicks = 300;

// One tick of the main panel's display timer (once a second): clock, blinking
// mode text, watchdog, alarm banner and button, the store the acquisition
// asked for, the rows and the current-values panel, status line.
void SampleTimer(StationState& state, const ShellServices& services, MainWindowView& view);

}  // namespace qrv::shell
