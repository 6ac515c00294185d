#include "runtime/file_stamp.h"

namespace qrv {

FileStamp StampOf(const std::filesystem::path& path) {
    std::error_code error;
    FileStamp stamp;
    stamp.time = std::filesystem::last_write_time(path, error);
    if (error) {
        return {};
    }
    stamp.size = std::filesystem::file_size(path, error);
    stamp.exists = !error;
    return stamp;
}

}  // namespace qrv
