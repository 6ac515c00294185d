#include "runtime/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "runtime/owner_only_file.h"

namespace qrv {

std::optional<std::string_view> LineReader::ReadLine(std::size_t maxChars) {
    if (pos_ >= bytes_.size()) {
        return std::nullopt;
    }
    const std::size_t newline = bytes_.find('\n', pos_);
    const std::size_t end = newline == std::string_view::npos ? bytes_.size() : newline;
    std::size_t contentEnd = end;
    if (contentEnd > pos_ && bytes_[contentEnd - 1] == '\r') {
        --contentEnd;
    }
    std::string_view line = bytes_.substr(pos_, contentEnd - pos_);
    pos_ = newline == std::string_view::npos ? bytes_.size() : newline + 1;
    if (line.size() > maxChars) {
        line = line.substr(0, maxChars);
    }
    return line;
}

std::string_view LineReader::ReadLineOrEmpty(std::size_t maxChars) {
    return ReadLine(maxChars).value_or(std::string_view{});
}

FileBytes ReadFileBytes(const std::filesystem::path& path, std::size_t maxBytes) {
    const auto refused = [](std::string reason) {
        return FileBytes{kFileCannotOpenForReading, {}, std::move(reason)};
    };
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return {kFileDoesNotExist, {}, {}};
        }
        return refused(std::strerror(errno));
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        return refused(std::strerror(errno));
    }
    if (S_ISDIR(info.st_mode)) {
        return refused(std::strerror(EISDIR));
    }
    if (!S_ISREG(info.st_mode)) {
        return refused("it is not a regular file");
    }
    const auto tooLarge = [&] {
        return refused("it is larger than " + std::to_string(maxBytes) + " bytes");
    };
    if (static_cast<std::uintmax_t>(info.st_size) > maxBytes) {
        return tooLarge();
    }
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(info.st_size));
    // Read to the end, not to the size fstat gave: the file may be growing.
    std::array<char, 16384> chunk{};
    for (;;) {
        const ssize_t n = ::read(fd, chunk.data(), chunk.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return refused(std::strerror(errno));
        }
        if (n == 0) {
            break;
        }
        if (static_cast<std::size_t>(n) > maxBytes - bytes.size()) {
            return tooLarge();
        }
        bytes.append(chunk.data(), static_cast<std::size_t>(n));
    }
    return {kFileOk, std::move(bytes), {}};
}

std::string WhyUnreadable(const std::filesystem::path& path) {
    return ReadFileBytes(path).reason;
}

namespace {

bool WriteAll(int fd, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// mode: the new file's permissions; none for those of the file it replaces
// (0644 for a new one).
int WriteThroughTemporary(const std::filesystem::path& path, std::string_view bytes,
                          std::optional<mode_t> mode) {
    std::filesystem::path temp = path;
    temp += ".tmp-XXXXXX";
    std::string pattern = temp.string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        return kFileCannotOpenForWriting;
    }
    if (!mode) {
        struct stat old {};
        mode = ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
    }
    const bool written = ::fchmod(fd, *mode) == 0 && WriteAll(fd, bytes) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || ::rename(pattern.c_str(), path.c_str()) != 0) {
        const int why = errno;
        ::unlink(pattern.c_str());
        errno = why;
        return kFileCannotOpenForWriting;
    }
    return kFileOk;
}

}  // namespace

int WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
    return WriteThroughTemporary(path, bytes, std::nullopt);
}

int WriteOwnerOnlyFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
    return WriteThroughTemporary(path, bytes, 0600);
}

int AppendToFile(const std::filesystem::path& path, std::string_view bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        return kFileCannotOpenForWriting;
    }
    bool ok = true;
    if (!bytes.empty()) {
        ssize_t n;
        do {
            n = ::write(fd, bytes.data(), bytes.size());
        } while (n < 0 && errno == EINTR);
        ok = n == static_cast<ssize_t>(bytes.size());
        if (!ok && n > 0) {
            // Never leave half a block behind: a reader would misread it.
            struct stat st {};
            if (::fstat(fd, &st) == 0) {
                [[maybe_unused]] const int ignored = ::ftruncate(fd, st.st_size - n);
            }
        }
    }
    const bool closed = ::close(fd) == 0;
    return ok && closed ? kFileOk : kFileCannotOpenForWriting;
}

bool FileExists(const std::filesystem::path& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

bool SetReadOnly(const std::filesystem::path& path, bool readOnly) {
    using std::filesystem::perm_options;
    using std::filesystem::perms;
    std::error_code ec;
    const perms writeBits = perms::owner_write | perms::group_write | perms::others_write;
    if (readOnly) {
        std::filesystem::permissions(path, writeBits, perm_options::remove, ec);
    } else {
        std::filesystem::permissions(path, perms::owner_write, perm_options::add, ec);
    }
    return !ec;
}

bool IsReadOnly(const std::filesystem::path& path) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    return !ec && (status.permissions() & std::filesystem::perms::owner_write) ==
                      std::filesystem::perms::none;
}

bool MakeDirectories(const std::filesystem::path& path) {
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    return std::filesystem::is_directory(path, ec);
}

std::string JoinCrLf(const std::vector<std::string>& lines) {
    std::string result;
    std::size_t size = 0;
    for (const auto& line : lines) {
        size += line.size() + 2;
    }
    result.reserve(size);
    for (const auto& line : lines) {
        result += line;
        result += kCrLf;
    }
    return result;
}

}  // namespace qrv
