#pragma once

#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "records/audit_line.h"

namespace qrv::records {

// The station's audit trail "QRVAudit.txt": one line per change or event,
// each chained to the line before it by its SHA-256. The trail is one file
// for the station's whole life (a busy station writes a few thousand lines
// a year), so the chain never has to cross from one file to another. Every
// line is appended with a single write under a lock on the file, so the
// window, the service and the command-line tool may all write to it; between
// writes the file is read-only.
class AuditTrail {
  public:
    explicit AuditTrail(std::filesystem::path path) : path_(std::move(path)) {}

    // Appends the entry; false when it could not be written completely (the
    // trail is then as it was).
    bool Record(const AuditEntry& entry);
    const std::filesystem::path& Path() const { return path_; }

  private:
    std::filesystem::path path_;
    std::mutex mutex_;
};

// What a check of a whole trail found.
struct TrailCheck {
    int lines = 0;         // lines checked up to and including a broken one
    int brokenLine = 0;    // 1-based; 0 when the trail is whole
    std::string reason;    // why brokenLine breaks the chain
    std::string lastHash;  // the SHA-256 of the last line (whole trails)
};

TrailCheck VerifyAuditTrail(std::string_view bytes);

// The lines that can be read, in file order; damaged lines are left out
// (VerifyAuditTrail names them).
std::vector<ParsedAuditLine> ReadAuditLines(std::string_view bytes);

}  // namespace qrv::records
