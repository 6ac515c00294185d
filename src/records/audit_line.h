#pragma once

#include <optional>
#include <string>
#include <string_view>

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

    friend bool operator==(const AuditEntry&, const AuditEntry&) = default;
};

// A line as the trail stores it, CR LF not included: the time, who, what,
// old and new value, the SHA-256 of the line before and the line's own seal
// (the SHA-256 of everything before it), separated by tabs. Tabs, line ends
// and backslashes inside the texts are escaped so a field can never forge a
// separator.
std::string FormatAuditLine(const AuditEntry& entry, std::string_view previousHash);

struct ParsedAuditLine {
    AuditEntry entry;
    std::string previousHash;
    std::string seal;
    bool sealed = false;  // the seal matches the line's content
};

// nullopt when the line does not have the trail's seven fields and time.
std::optional<ParsedAuditLine> ParseAuditLine(std::string_view line);

// "YYYY-MM-DD HH:MM:SS".
std::string AuditTimeText(const LocalDateTime& time);

}  // namespace qrv::records
