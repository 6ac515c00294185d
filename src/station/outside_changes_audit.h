#pragma once

#include <filesystem>
#include <vector>

#include "records/setting_changes.h"
#include "runtime/clock.h"
#include "runtime/event_log.h"
#include "station/station_state.h"

namespace qrv::shell {

// Records the changes the station found in a file it reread and now uses:
// each as "changed outside the station" with the file's owner and time,
// except those a command that changed the file has recorded already.
void AuditOutsideChanges(StationState& state, const Clock& clock, EventLog& log,
                         const std::filesystem::path& file,
                         const std::vector<records::SettingChange>& changes);

}  // namespace qrv::shell
