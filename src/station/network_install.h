#pragma once

#include <vector>
#include "station/shell_services.h"
#include "station/station_state.h"

#include "sensors/sensor_table.h"

namespace qrv::shell {

// Results of StartNetwork.
inline constexpr int kNetworkStarted = 0;
inline constexpr int kNetworkPortFailed = -1;
inline constexpr int kNetworkSessionFailed = -2;
inline constexpr int kNetworkNoPresence = -3;

// Results of CheckForOldSensorsAndAskUser.
inline constexpr int kNothingMissing = 0;
inline constexpr int kAnswerRetry = 1;
inline constexpr int kLastAnswerOff = 2;
inline constexpr int kLastAnswerDelete = 3;

// Checks the port, opens the 1-Wire session, finds the unit's own devices and
// puts the relay off, the orange lamp on and the long-cable timing in place,
// each step announced on the status line. The port is not checked again
// when start-up's mode choice has just found the unit on it (a check powers
// the unit down and up for two seconds and would find the same).
// Touches nothing of the user-interface side: it runs as a bus step.
int StartNetwork(StationState& state, const ShellServices& services);

// 1 when an active or inhibited probe of the table was not found by the last
// scan; probes that are off are never missed.
int CheckForOldSensorsNoQuestion(const SensorTable& table);

// Asks about every missing probe in turn: Retry (stops asking), Off or Delete.
int CheckForOldSensorsAndAskUser(StationState& state, const ShellServices& services);

// Opens the probe editor for every probe the scans appended.
void CheckForNewSensors(StationState& state, const ShellServices& services);

// Names the probes that did not fit into the table, in the program log and
// in one popup; nothing when the list is empty.
void ReportLeftOut(const StationState& state, const ShellServices& services,
                   const std::vector<RomCode>& leftOut);

// Installs the network: pauses acquisition, reloads the station files, starts
// the network (Retry or Cancel while the unit does not answer), scans all
// lines until no probe is missing or the user stops asking, has every new
// probe named, writes the sensor file and resumes acquisition. Refused in
// demo mode; a success from off-line mode switches to normal mode.
void DoeInstallNetwork(StationState& state, const ShellServices& services);

}  // namespace qrv::shell
