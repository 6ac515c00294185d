#include "records/audit_recorder.h"

#include <fmt/format.h>

namespace qrv::records {

bool AuditRecorder::Record(std::string_view who, std::string_view what, std::string_view oldValue,
                           std::string_view newValue, std::string_view reason) {
    const AuditEntry entry{clock_.Now(),          std::string(who),      std::string(what),
                           std::string(oldValue), std::string(newValue), std::string(reason)};
    if (!trail_.Record(entry)) {
        log_.LogFileNotWritten(fmt::format("Audit trail {} not written ({}): {} by {}: {} -> {}",
                                           trail_.Path().filename().string(), trail_.LastProblem(),
                                           what, who, oldValue, newValue));
        return false;
    }
    return true;
}

}  // namespace qrv::records
