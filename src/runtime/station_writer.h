#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace qrv {

// A file another user creates or rewrites in a station directory belongs to
// that user: the station's own user (the service's) can then no longer
// write it, and loses log and audit lines or logins without a word. So the
// programs that write there run as the directory's owner.
enum class StationWriters {
    kOwner,
    // The window of a member of the directory's group, when the group may
    // write there, opens the service's station beside it.
    kOwnerOrGroup,
};

struct WriterIdentity {
    uid_t user = 0;
    std::vector<gid_t> groups;

    static WriterIdentity OfThisProcess();
};

// Why `writer` must not write into `station`, naming the owner and the
// command to run instead (`sudo -u OWNER COMMAND`); empty when it may, or
// when the directory does not exist yet (what it creates will be its own).
std::string StationWriteRefusal(const std::filesystem::path& station, StationWriters writers,
                                const WriterIdentity& writer,
                                const std::vector<std::string>& command);

// The command as one line a shell reads back as the same arguments.
std::string ShellCommandLine(const std::vector<std::string>& command);

}  // namespace qrv
