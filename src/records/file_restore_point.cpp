#include "records/file_restore_point.h"

#include "runtime/text_file.h"

namespace qrv::records {

FileRestorePoint::FileRestorePoint(std::filesystem::path path) : path_(std::move(path)) {
    FileBytes read = ReadFileBytes(path_);
    if (read.result == kFileOk) {
        bytes_ = std::move(read.bytes);
    }
    absent_ = read.result == kFileDoesNotExist;
}

bool FileRestorePoint::Restore() const {
    if (absent_) {
        std::error_code ec;
        std::filesystem::remove(path_, ec);
        return !ec;
    }
    // A file that could not be read was not changed either.
    return bytes_ && WriteFileAtomically(path_, *bytes_) == kFileOk;
}

std::string TrailNotWrittenReason() {
    return "the audit trail QRVAudit.txt cannot be written, so the change was not made";
}

}  // namespace qrv::records
