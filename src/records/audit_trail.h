#pragma once

#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "records/audit_line.h"
#include "records/trail_key.h"

namespace qrv::records {

// The station's audit trail "QRVAudit.txt": one line per change or event,
// each chained to the line before it by its SHA-256 and sealed with the
// station key (see records/trail_key.h), which the first line written
// creates. A trail begun before the key keeps its plainly sealed lines. The trail is one file
// for the station's whole life (a busy station writes a few thousand lines
// a year), so the chain never has to cross from one file to another. Every
// line is appended with a single write under a lock on the file, so the
// window, the service and the command-line tool may all write to it; between
// writes the file is read-only.
inline constexpr std::string_view kAuditTrailFileName = "QRVAudit.txt";

class AuditTrail {
  public:
    explicit AuditTrail(std::filesystem::path path) : path_(std::move(path)) {}

    // Appends the entry; false when it could not be written completely (the
    // trail is then as it was), or not sealed: LastProblem says why.
    bool Record(const AuditEntry& entry);
    std::string LastProblem() const;
    const std::filesystem::path& Path() const { return path_; }

  private:
    std::optional<TrailKey> KeyForNextLine(int fd, bool lastLineKeyed);

    std::filesystem::path path_;
    mutable std::mutex mutex_;
    std::string problem_;
};

// What a check of a whole trail found.
struct TrailCheck {
    int lines = 0;         // lines checked up to and including a broken one
    int brokenLine = 0;    // 1-based; 0 when the chain holds
    std::string reason;    // why brokenLine breaks the chain
    std::string lastHash;  // the SHA-256 of the last line (whole trails)
    // Keyed seals that could not be checked, the key being missing or
    // unreadable (keyProblem says which).
    int uncheckedSeals = 0;
    std::string keyProblem;

    bool Whole() const { return brokenLine == 0 && uncheckedSeals == 0; }
};

// One line of a trail as read, with what is wrong with it on its own or
// against the line before it (empty when nothing is).
struct TrailLine {
    int number = 0;  // 1-based
    std::optional<ParsedAuditLine> parsed;
    std::string problem;
};

struct TrailReading {
    std::vector<TrailLine> lines;
    TrailCheck check;  // the first problem of the trail
};

// Every line of the trail judged; the key is that of the trail's station.
TrailReading ReadAuditTrail(std::string_view bytes, const TrailKeyFile& key);

TrailCheck VerifyAuditTrail(std::string_view bytes, const TrailKeyFile& key = {});

// The trail file checked whole with its station key; a trail that does not
// exist yet is whole with no lines, unless its key says it held some.
// nullopt when the file cannot be read (problem says why).
std::optional<TrailCheck> CheckTrailFile(const std::filesystem::path& trailPath,
                                         std::string& problem);

// "QRVAudit.txt: 1234 lines, last line SHA-256 ab12...": the trail's head,
// for pages and logs that anchor it outside the file.
std::string TrailHeadText(const std::filesystem::path& trailPath, const TrailCheck& check);
// The same for the trail file as it is now; what keeps it from being read.
std::string TrailHeadNow(const std::filesystem::path& trailPath);

// The lines that can be read, in file order; damaged lines are left out
// (VerifyAuditTrail names them).
std::vector<ParsedAuditLine> ReadAuditLines(std::string_view bytes);

}  // namespace qrv::records
