#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "settings/system_settings.h"
#include "station/shell_services.h"
#include "station/station_state.h"

namespace qrv::shell {

// One line in the audit trail for the station's operator, with the reason
// given for the change if any; false when the trail did not take it.
bool AuditEvent(StationState& state, const Clock& clock, EventLog& log, std::string_view what,
                std::string_view oldValue = {}, std::string_view newValue = {},
                std::string_view reason = {});

// Whom a command given through a front end is recorded for: the operator,
// with the front end named unless it is the window (whose lines have always
// been the operator's alone).
std::string GivenBy(const StationState& state, Via via);
// The same for someone else than the operator (a web account).
bool AuditEventBy(StationState& state, const Clock& clock, EventLog& log, std::string_view who,
                  std::string_view what, std::string_view oldValue = {},
                  std::string_view newValue = {}, std::string_view reason = {});

// Records every probe setting changed since the trail last looked at the
// table, each line with the reason given for the change, and looks at it now.
// The station follows kProbeSettingsChanged with it (StationCore::Serve).
// who: who changed them; the operator when empty.
void AuditProbeTable(StationState& state, const ShellServices& services,
                     std::string_view reason = {}, std::string_view who = {});
// A table just read from that sensor file is what later changes are
// compared with.
void TakeProbeBaseline(StationState& state, const std::filesystem::path& snsFile);
// The table just reread from the sensor file against what the station used:
// a difference is a hand edit made while it ran (its own saves move the
// baseline), recorded as changed outside the station; then the new baseline.
void AuditRereadProbes(StationState& state, const ShellServices& services,
                       const std::filesystem::path& snsFile);

// Reads the station's calibrations; a file that cannot be read is logged and
// leaves the readings uncorrected rather than stopping the station.
void LoadCalibrations(StationState& state, const ShellServices& services);
// Rereads them once their file has changed, so that a calibration set with
// quorvanel-report applies from the next reading. A file that has become
// unreadable is logged once and the calibrations in use are kept.
void ReloadCalibrationsIfChanged(StationState& state, const ShellServices& services);

void AuditSettings(StationState& state, const ShellServices& services, const SystemSettings& before,
                   const SystemSettings& after);

}  // namespace qrv::shell
