#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "records/trail_key.h"
#include "runtime/clock.h"

namespace qrv::records {

// The hash the first line of a trail chains to.
inline constexpr std::string_view kTrailStart =
    "0000000000000000000000000000000000000000000000000000000000000000";

// One event of the audit trail: who changed what from which value to which.
struct AuditEntry {
    LocalDateTime time;
    std::string who;
    std::string what;
    std::string oldValue;
    std::string newValue;
    // Why, when the one who made the change said so.
    std::string reason;

    friend bool operator==(const AuditEntry&, const AuditEntry&) = default;
};

// A line as the trail stores it, CR LF not included: the time, who, what,
// old and new value, the reason (only when there is one), the SHA-256 of the line before and the
// line's own seal of everything before it, separated by tabs: the HMAC-SHA-256 under the key when
// one is given, else the plain SHA-256 older trails carry. Tabs, line ends and backslashes inside
// the texts are escaped so a field can never forge a separator.
std::string FormatAuditLine(const AuditEntry& entry, std::string_view previousHash,
                            const TrailKey* key = nullptr);

struct ParsedAuditLine {
    AuditEntry entry;
    std::string previousHash;
    std::string seal;
    bool keyed = false;  // the seal is an HMAC under the station key
    // The seal matches the line's content; a keyed seal only ever matches
    // when the key was given.
    bool sealed = false;
};

// nullopt when the line does not have the trail's seven fields (eight with a
// reason) and time.
std::optional<ParsedAuditLine> ParseAuditLine(std::string_view line, const TrailKey* key = nullptr);

// "YYYY-MM-DD HH:MM:SS".
std::string AuditTimeText(const LocalDateTime& time);

}  // namespace qrv::records
