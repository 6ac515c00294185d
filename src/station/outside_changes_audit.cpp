#include "station/outside_changes_audit.h"

#include <fmt/format.h>

#include "records/outside_changes.h"
#include "runtime/text_file.h"
#include "station/station_records.h"

namespace qrv::shell {

void AuditOutsideChanges(StationState& state, const Clock& clock, EventLog& log,
                         const std::filesystem::path& file,
                         const std::vector<records::SettingChange>& changes) {
    if (changes.empty()) {
        return;
    }
    const std::vector<records::ParsedAuditLine> trail =
        records::ReadAuditLines(ReadFileBytes(state.auditTrail.Path()).bytes);
    const std::string origin = records::FileOrigin(file);
    for (const records::SettingChange& change : changes) {
        if (!records::AlreadyRecorded(trail, change)) {
            AuditEventBy(state, clock, log, "outside the station",
                         fmt::format("{}: changed outside the station ({})", change.what, origin),
                         change.oldValue, change.newValue);
        }
    }
}

}  // namespace qrv::shell
