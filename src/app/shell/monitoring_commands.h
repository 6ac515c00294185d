#pragma once

#include "station/shell_services.h"
#include "station/station_state.h"

namespace qrv::shell {

// The live-monitoring commands of the Network and Alarm menus.

// Network > Stop the network: asks first.
void StopTheNetwork(StationState& state, const ShellServices& services);
// Alarm > Test alarm relay: five seconds of relay after a question.
void TestAlarmRelais(StationState& state, const ShellServices& services);
// The SMS settings: the program, the receiving phone, a test message.
void LinkSmsCentre(StationState& state, const ShellServices& services);
void SetPhoneName(StationState& state, const ShellServices& services);
void SendTestMessage(StationState& state, const ShellServices& services);

// Whether the SMS program is configured (Send test message is dimmed
// without it).
bool CheckIfSmsServerIsAavailable(const StationState& state);

}  // namespace qrv::shell
