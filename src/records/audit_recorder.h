#pragma once

#include <string>
#include <string_view>

#include "records/audit_trail.h"
#include "runtime/clock.h"
#include "runtime/event_log.h"

namespace qrv::records {

// Writes the station's events into its audit trail with the time of its
// clock. A line the trail cannot take goes to the program log instead, so a
// change is never left unrecorded without a trace. Who did it comes from the
// caller: the desktop's login name, or the account of a web session.
class AuditRecorder {
  public:
    AuditRecorder(AuditTrail& trail, const Clock& clock, EventLog& log)
        : trail_(trail), clock_(clock), log_(log) {}

    // False when the trail did not take the line.
    bool Record(std::string_view who, std::string_view what, std::string_view oldValue = {},
                std::string_view newValue = {}, std::string_view reason = {});

  private:
    AuditTrail& trail_;
    const Clock& clock_;
    EventLog& log_;
};

}  // namespace qrv::records
