#include "station/trail_watch.h"

#include <fmt/format.h>

#include "records/audit_trail.h"
#include "station/live_monitoring.h"

namespace qrv::shell {

void CheckAuditTrailDaily(StationState& state, const ShellServices& services) {
    const LocalDateTime now = services.clock.Now();
    const std::string today = fmt::format("{:04}-{:02}-{:02}", now.year, now.month, now.day);
    if (today == state.trailCheckedDay) {
        return;
    }
    state.trailCheckedDay = today;
    const std::filesystem::path& path = state.auditTrail.Path();
    const std::string file = path.filename().string();
    std::string problem;
    const std::optional<records::TrailCheck> check = records::CheckTrailFile(path, problem);
    if (check && check->Whole()) {
        services.log.LogMessageToDisk("Audit trail " + records::TrailHeadText(path, *check));
        return;
    }
    if (!check) {
        problem = "cannot be read: " + problem;
    } else if (check->brokenLine != 0) {
        problem = "is broken: " + check->reason;
    } else {
        problem = fmt::format("cannot be checked: {} ({} seals unchecked)", check->keyProblem,
                              check->uncheckedSeals);
    }
    services.log.LogMessageToDisk(fmt::format("ERROR: audit trail {} {}", file, problem));
    services.monitoring.Acquisition().AlarmFile().LogAlarmToDisk(
        fmt::format("Alarm: audit trail {} {}", file, problem));
}

}  // namespace qrv::shell
