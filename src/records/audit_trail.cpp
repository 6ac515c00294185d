#include "records/audit_trail.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fmt/format.h>
#include <cerrno>
#include <string>
#include <vector>

#include "records/sha256.h"
#include "runtime/file_descriptor.h"
#include "runtime/text_file.h"

namespace qrv::records {

namespace {

bool ReadAt(int fd, std::string& bytes, off_t offset, std::size_t count) {
    bytes.resize(count);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n =
            ::pread(fd, bytes.data() + done, count - done, offset + static_cast<off_t>(done));
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

struct Tail {
    std::string previousHash{kTrailStart};
    bool endsWithLineEnd = true;
};

// The hash the next line chains to: that of the file's last line. A line a
// crash cut short is chained to as it is, so the check names it and the
// lines after it still verify.
std::optional<Tail> ReadTail(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        return std::nullopt;
    }
    Tail tail;
    const auto size = static_cast<std::size_t>(st.st_size);
    if (size == 0) {
        return tail;
    }
    constexpr std::size_t kChunk = 64 * 1024;
    std::string bytes;
    std::size_t start = size > kChunk ? size - kChunk : 0;
    for (;;) {
        if (!ReadAt(fd, bytes, static_cast<off_t>(start), size - start)) {
            return std::nullopt;
        }
        std::string_view text = bytes;
        tail.endsWithLineEnd = text.ends_with('\n');
        if (tail.endsWithLineEnd) {
            text.remove_suffix(1);
        }
        const std::size_t newline = text.rfind('\n');
        if (newline == std::string_view::npos && start > 0) {
            start = 0;  // a line longer than the chunk: read the whole file
            continue;
        }
        std::string_view last = newline == std::string_view::npos ? text : text.substr(newline + 1);
        if (last.ends_with('\r')) {
            last.remove_suffix(1);
        }
        tail.previousHash = Sha256Hex(last);
        return tail;
    }
}

bool WriteAll(int fd, std::string_view bytes) {
    ssize_t n;
    do {
        n = ::write(fd, bytes.data(), bytes.size());
    } while (n < 0 && errno == EINTR);
    if (n == static_cast<ssize_t>(bytes.size())) {
        return ::fdatasync(fd) == 0;
    }
    if (n > 0) {
        // Half a line would break the chain for every later line's check.
        struct stat st {};
        if (::fstat(fd, &st) == 0) {
            [[maybe_unused]] const int ignored = ::ftruncate(fd, st.st_size - n);
        }
    }
    return false;
}

}  // namespace

bool AuditTrail::Record(const AuditEntry& entry) {
    std::lock_guard lock(mutex_);
    // The lock is taken on a read-only descriptor, which opens the file
    // whatever its permission bits; the bits change only while it is held.
    const FileDescriptor locked(::open(path_.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0444));
    if (locked.get() < 0 || ::flock(locked.get(), LOCK_EX) != 0) {
        return false;
    }
    const std::optional<Tail> tail = ReadTail(locked.get());
    if (!tail) {
        return false;
    }
    std::string bytes = tail->endsWithLineEnd ? "" : std::string(kCrLf);
    bytes += FormatAuditLine(entry, tail->previousHash);
    bytes += kCrLf;
    SetReadOnly(path_, false);
    bool written = false;
    {
        const FileDescriptor out(::open(path_.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC));
        written = out.get() >= 0 && WriteAll(out.get(), bytes);
    }
    SetReadOnly(path_, true);
    return written;
}

TrailCheck VerifyAuditTrail(std::string_view bytes) {
    TrailCheck check;
    std::string expected{kTrailStart};
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const std::size_t newline = bytes.find('\n', pos);
        const bool whole = newline != std::string_view::npos;
        std::string_view line = bytes.substr(pos, whole ? newline - pos : std::string_view::npos);
        pos = whole ? newline + 1 : bytes.size();
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        const int n = ++check.lines;
        const auto parsed = ParseAuditLine(line);
        // A CR without its LF is no line end of the trail's: a converted file
        // (old Mac line ends) would otherwise look like one cut-short line.
        if (line.find('\r') != std::string_view::npos) {
            check.reason = fmt::format(
                "line {} ends with a CR alone: the trail's lines end with CR LF (was the file "
                "converted?)",
                n);
        } else if (!whole) {
            check.reason = fmt::format("line {} is cut short: its end is missing", n);
        } else if (!parsed) {
            check.reason = fmt::format("line {} is damaged: it is not a line of the trail", n);
        } else if (!parsed->sealed) {
            check.reason =
                fmt::format("line {} was altered: its seal does not match its content", n);
        } else if (parsed->previousHash != expected) {
            check.reason =
                n == 1 ? std::string("line 1 does not start the trail: lines before it are missing")
                       : fmt::format(
                             "line {} does not follow line {}: a line was removed, "
                             "inserted or moved here",
                             n, n - 1);
        }
        if (!check.reason.empty()) {
            check.brokenLine = n;
            return check;
        }
        expected = Sha256Hex(line);
    }
    check.lastHash = expected;
    return check;
}

std::vector<ParsedAuditLine> ReadAuditLines(std::string_view bytes) {
    std::vector<ParsedAuditLine> lines;
    LineReader reader(bytes);
    while (const auto line = reader.ReadLine(kNoSizeLimit)) {
        if (auto parsed = ParseAuditLine(*line)) {
            lines.push_back(std::move(*parsed));
        }
    }
    return lines;
}

}  // namespace qrv::records
