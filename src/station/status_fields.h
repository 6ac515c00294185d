#pragma once

#include <string>
#include <string_view>

#include "feed/notice_tally.h"
#include "runtime/clock.h"
#include "runtime/status_display.h"
#include "station/station_state.h"

namespace qrv::shell {

// The small routines through which every part of the station writes the
// status fields of the main panel.

// The header clock (the display writes it as its locale does); refreshes the
// date strings of the files.
void DoeDisplayTijd(StationState& state, const Clock& clock, StatusDisplay& display);
// A progress message in blue, drawn at once.
void DoeDisplayMessage(StatusDisplay& display, std::string_view text);
// Without an installed network the line says "Network inactive... " in red;
// with one it keeps what it shows.
void RestoreStatusMessage(const StationState& state, StatusDisplay& display);
// The banner says which alarm stands: the interface or the probes, and who
// acknowledged it when someone did (acknowledgedBy not empty).
void DisplayAlarmHok(const StationState& state, StatusDisplay& display, bool show,
                     std::string_view acknowledgedBy = {});
// What the header says beside the clock: that a normal station's network is
// stopped, that the alarms are disabled, both, or nothing.
std::string MonitoringStateText(const StationState& state, int taal);
void ShowMonitoringState(const StationState& state, StatusDisplay& display);
// The last notice of the call list given up, to whom, by what, when and what
// the receiver said, in language taal; empty while none stands.
std::string NoticeProblemText(const NoticeTotals& notices, int taal);
void DisplayNetworkInstallHok(const StationState& state, StatusDisplay& display, bool show);
// Shows the mode text and writes it for phase 1, empties it for phase 0.
void ShowDemoText(const StationState& state, StatusDisplay& display, int phase);
void ShowOffLineText(const StationState& state, StatusDisplay& display, int phase);
// The mode line's text in language taal: "Off line mode" in off-line mode,
// "Demo mode" otherwise (the line is hidden in the other modes).
std::string_view ModeLineText(int mode, int taal);

inline void SuspendDisplayTimer(StationState& state) {
    state.DisplayTimerEnable = 0;
}
inline void ResumeDisplayTimer(StationState& state) {
    state.DisplayTimerEnable = 1;
}

}  // namespace qrv::shell
