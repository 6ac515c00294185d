#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "records/audit_trail.h"
#include "support/temp_dir.h"

namespace qrv::testing {

// The entries of an audit trail, in order; a trail that does not verify
// whole fails the test that reads it.
inline std::vector<records::AuditEntry> AuditEntries(const records::AuditTrail& trail) {
    const std::string bytes = ReadBytes(trail.Path());
    const records::TrailCheck check = records::VerifyAuditTrail(
        bytes, records::ReadTrailKey(records::TrailKeyPath(trail.Path())));
    EXPECT_TRUE(check.Whole()) << check.reason << check.keyProblem;
    std::vector<records::AuditEntry> entries;
    for (const auto& line : records::ReadAuditLines(bytes)) {
        entries.push_back(line.entry);
    }
    return entries;
}

}  // namespace qrv::testing
