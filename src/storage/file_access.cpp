#include "storage/file_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <array>
#include <cerrno>

#include "runtime/text_file.h"
#include "storage/result_file_format.h"

namespace qrv {

namespace {

class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

}  // namespace

int ReadWholeFile(const std::filesystem::path& path, std::string& buffer) {
    buffer.clear();
    const Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        return errno == ENOENT || errno == ENOTDIR ? kFileDoesNotExist : kFileCannotOpenForReading;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return kFileCannotOpenForReading;
    }
    std::size_t used = 0;
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
                std::uintmax_t& sizeBefore) {
    sizeBefore = 0;
    const Descriptor fd(::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0644));
    if (fd.get() < 0) {
        return kFileCannotOpenForWriting;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        return kFileCannotOpenForWriting;
    }
    sizeBefore = static_cast<std::uintmax_t>(info.st_size);
    char last = '\n';
    if (info.st_size > 0 && ::pread(fd.get(), &last, 1, info.st_size - 1) != 1) {
        return kFileCannotOpenForWriting;
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
    if (written > 0) {
        // Best effort: a failed cut leaves the partial block, which readers skip.
        [[maybe_unused]] const int cut = ::ftruncate(fd.get(), static_cast<off_t>(sizeBefore));
    }
    return kFileCannotOpenForWriting;
}

}  // namespace qrv
