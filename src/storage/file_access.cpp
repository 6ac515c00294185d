#include "storage/file_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <string>

#include "runtime/file_descriptor.h"
#include "runtime/text_file.h"
#include "storage/result_file_format.h"

namespace qrv {

int ReadWholeFile(const std::filesystem::path& path, std::string& buffer) {
    const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        buffer.clear();
        return errno == ENOENT || errno == ENOTDIR ? kFileDoesNotExist : kFileCannotOpenForReading;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        buffer.clear();
        return kFileCannotOpenForReading;
    }
    std::size_t used = 0;
    // Growing the buffer from what the last file left in it fills only the
    // difference with zeros, not a whole file's size each time.
    buffer.resize(static_cast<std::size_t>(info.st_size) + 4096);
    for (;;) {
        if (used == buffer.size()) {
            buffer.resize(buffer.size() * 2);
        }
        const ssize_t n = ::read(fd.get(), buffer.data() + used, buffer.size() - used);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            buffer.clear();
            return kFileCannotOpenForReading;
        }
        if (n == 0) {
            break;
        }
        used += static_cast<std::size_t>(n);
    }
    buffer.resize(used);
    return kFileOk;
}

int AppendWhole(const std::filesystem::path& path, std::string_view bytes,
                std::uintmax_t& sizeBefore, std::string& reason) {
    sizeBefore = 0;
    reason.clear();
    const auto fail = [&reason](std::string why) {
        reason = std::move(why);
        return kFileCannotOpenForWriting;
    };
    // A symbolic link is followed only to a regular file: opening a device
    // for writing may act on it (a watchdog, a terminal) before any check.
    int opened = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (opened < 0 && errno == ELOOP) {
        struct stat target {};
        if (::stat(path.c_str(), &target) != 0 || !S_ISREG(target.st_mode)) {
            return fail("it is a symbolic link to something other than a regular file");
        }
        opened = ::open(path.c_str(), O_RDWR | O_APPEND | O_CLOEXEC);
    }
    const FileDescriptor fd(opened);
    if (fd.get() < 0) {
        return fail(std::strerror(errno));
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        return fail(std::strerror(errno));
    }
    if (!S_ISREG(info.st_mode)) {
        return fail("it is not a regular file");
    }
    sizeBefore = static_cast<std::uintmax_t>(info.st_size);
    char last = '\n';
    if (info.st_size > 0 && ::pread(fd.get(), &last, 1, info.st_size - 1) != 1) {
        return fail(std::strerror(errno));
    }
    const std::string_view lineEnd = LineEndToFinish(std::string_view(&last, 1));
    // One call for the line end and the block, so no crash can separate them.
    std::array<iovec, 2> parts{{{const_cast<char*>(lineEnd.data()), lineEnd.size()},
                                {const_cast<char*>(bytes.data()), bytes.size()}}};
    const auto total = static_cast<ssize_t>(lineEnd.size() + bytes.size());
    ssize_t written = -1;
    do {
        written = ::writev(fd.get(), parts.data(), static_cast<int>(parts.size()));
    } while (written < 0 && errno == EINTR);
    if (written == total) {
        return kFileOk;
    }
    // A short write is a full disk (or quota); the next write would say so.
    const std::string why = std::strerror(written < 0 ? errno : ENOSPC);
    if (written > 0) {
        // Best effort: a failed cut leaves the partial block, which readers skip.
        [[maybe_unused]] const int cut = ::ftruncate(fd.get(), static_cast<off_t>(sizeBefore));
    }
    return fail(why);
}

}  // namespace qrv
