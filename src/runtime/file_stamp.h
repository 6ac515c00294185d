#pragma once

#include <cstdint>
#include <filesystem>

namespace qrv {

// Whether a file changed since it was read: its time and size, or that there
// is none. Cheap enough to look at every second.
struct FileStamp {
    bool exists = false;
    std::filesystem::file_time_type time{};
    std::uintmax_t size = 0;
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};
FileStamp StampOf(const std::filesystem::path& path);

}  // namespace qrv
