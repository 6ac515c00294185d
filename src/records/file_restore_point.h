#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace qrv::records {

// A file as it was before a change, to put back when the change cannot be
// recorded: no change stands without its audit line.
class FileRestorePoint {
  public:
    explicit FileRestorePoint(std::filesystem::path path);

    // Puts the file back as it was (removes it when it was not there);
    // false when that failed too.
    bool Restore() const;

  private:
    std::filesystem::path path_;
    bool absent_ = false;               // the file was not there
    std::optional<std::string> bytes_;  // none: absent or unreadable
};

// Why a change was undone, for the user.
std::string TrailNotWrittenReason();

}  // namespace qrv::records
