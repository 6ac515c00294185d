#include "records/audit_trail.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fmt/format.h>
#include <cerrno>
#include <cstring>
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
    bool lastLineKeyed = false;
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
        const std::size_t lastTab = last.rfind('\t');
        tail.lastLineKeyed = lastTab != std::string_view::npos &&
                             last.substr(lastTab + 1).starts_with(kKeyedSealPrefix);
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

// The lines of a trail as its check counts them: a last line without its
// line end counts too.
int CountLines(std::string_view bytes) {
    int lines = 0;
    for (std::size_t pos = 0; pos < bytes.size();) {
        const std::size_t newline = bytes.find('\n', pos);
        pos = newline == std::string_view::npos ? bytes.size() : newline + 1;
        ++lines;
    }
    return lines;
}

std::optional<std::string> ReadWhole(int fd) {
    struct stat st {};
    std::string bytes;
    if (::fstat(fd, &st) != 0 || !ReadAt(fd, bytes, 0, static_cast<std::size_t>(st.st_size))) {
        return std::nullopt;
    }
    return bytes;
}

// What is wrong with a parsed line's seal in a trail whose keyed lines
// began after plainLines lines (-1: no key to tell); empty when nothing.
std::string SealProblem(const ParsedAuditLine& line, int n, bool keyedBefore, int plainLines) {
    if (line.keyed) {
        if (plainLines >= 0 && !line.sealed) {
            return fmt::format("line {} was altered: its keyed seal does not match its content", n);
        }
        return {};
    }
    if (!line.sealed) {
        return fmt::format("line {} was altered: its seal does not match its content", n);
    }
    if (keyedBefore) {
        return fmt::format(
            "line {} has a plain seal after keyed ones: it was written or rewritten without the "
            "station key",
            n);
    }
    if (plainLines >= 0 && n > plainLines) {
        return fmt::format(
            "line {} has a plain seal, but the trail is sealed with the station key from line {} "
            "on: it was written or rewritten without the key",
            n, plainLines + 1);
    }
    return {};
}

}  // namespace

std::string AuditTrail::LastProblem() const {
    std::lock_guard lock(mutex_);
    return problem_;
}

std::optional<TrailKey> AuditTrail::KeyForNextLine(int fd, bool lastLineKeyed) {
    const std::filesystem::path keyPath = TrailKeyPath(path_);
    TrailKeyFile key = ReadTrailKey(keyPath);
    if (key.state == TrailKeyState::kMissing) {
        if (lastLineKeyed) {
            problem_ = fmt::format(
                "the station key {} is missing, and the trail's lines are sealed with it: put "
                "the key file back (or move the trail aside with its key to begin a new one)",
                keyPath.string());
            return std::nullopt;
        }
        const std::optional<std::string> bytes = ReadWhole(fd);
        if (!bytes) {
            problem_ = path_.string() + " cannot be read";
            return std::nullopt;
        }
        key = CreateTrailKey(keyPath, CountLines(*bytes));
    }
    if (!key.key) {
        problem_ = key.problem;
    }
    return key.key;
}

bool AuditTrail::Record(const AuditEntry& entry) {
    std::lock_guard lock(mutex_);
    problem_.clear();
    // The lock is taken on a read-only descriptor, which opens the file
    // whatever its permission bits; the bits change only while it is held.
    const FileDescriptor locked(::open(path_.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0444));
    if (locked.get() < 0 || ::flock(locked.get(), LOCK_EX) != 0) {
        problem_ = fmt::format("{} cannot be opened: {}", path_.string(), std::strerror(errno));
        return false;
    }
    const std::optional<Tail> tail = ReadTail(locked.get());
    if (!tail) {
        problem_ = path_.string() + " cannot be read";
        return false;
    }
    const std::optional<TrailKey> key = KeyForNextLine(locked.get(), tail->lastLineKeyed);
    if (!key) {
        return false;
    }
    std::string bytes = tail->endsWithLineEnd ? "" : std::string(kCrLf);
    bytes += FormatAuditLine(entry, tail->previousHash, &*key);
    bytes += kCrLf;
    SetReadOnly(path_, false);
    bool written = false;
    {
        const FileDescriptor out(::open(path_.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC));
        written = out.get() >= 0 && WriteAll(out.get(), bytes);
        if (!written) {
            problem_ =
                fmt::format("{} cannot be written: {}", path_.string(), std::strerror(errno));
        }
    }
    SetReadOnly(path_, true);
    return written;
}

TrailReading ReadAuditTrail(std::string_view bytes, const TrailKeyFile& key) {
    TrailReading reading;
    TrailCheck& check = reading.check;
    const TrailKey* trailKey = key.key ? &*key.key : nullptr;
    const int plainLines = trailKey ? trailKey->plainLines : -1;
    std::string expected{kTrailStart};
    bool keyedBefore = false;
    // A line altered in place breaks the link of the next one as well; that
    // line is not marked for it.
    bool previousAltered = false;
    int n = 0;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const std::size_t newline = bytes.find('\n', pos);
        const bool whole = newline != std::string_view::npos;
        std::string_view line = bytes.substr(pos, whole ? newline - pos : std::string_view::npos);
        pos = whole ? newline + 1 : bytes.size();
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        TrailLine& judged = reading.lines.emplace_back();
        judged.number = ++n;
        judged.parsed = ParseAuditLine(line, trailKey);
        const auto& parsed = judged.parsed;
        std::string& reason = judged.problem;
        // A CR without its LF is no line end of the trail's: a converted file
        // (old Mac line ends) would otherwise look like one cut-short line.
        if (line.find('\r') != std::string_view::npos) {
            reason = fmt::format(
                "line {} ends with a CR alone: the trail's lines end with CR LF (was the file "
                "converted?)",
                n);
        } else if (!whole) {
            reason = fmt::format("line {} is cut short: its end is missing", n);
        } else if (!parsed) {
            reason = fmt::format("line {} is damaged: it is not a line of the trail", n);
        } else if (reason = SealProblem(*parsed, n, keyedBefore, plainLines); !reason.empty()) {
        } else if (parsed->previousHash != expected && !previousAltered) {
            reason =
                n == 1 ? std::string("line 1 does not start the trail: lines before it are missing")
                       : fmt::format(
                             "line {} does not follow line {}: a line was removed, "
                             "inserted or moved here",
                             n, n - 1);
        } else if (parsed->keyed && !trailKey && check.brokenLine == 0) {
            ++check.uncheckedSeals;
        }
        keyedBefore = keyedBefore || (parsed && parsed->keyed);
        previousAltered = parsed && !reason.empty() && parsed->previousHash == expected;
        if (!reason.empty() && check.brokenLine == 0) {
            check.brokenLine = n;
            check.lines = n;
            check.reason = reason;
        }
        expected = Sha256Hex(line);
    }
    if (check.brokenLine == 0 && n < plainLines) {
        check.brokenLine = n + 1;
        check.reason = fmt::format(
            "the trail ends after line {}, but it held {} lines when its station key was made: "
            "lines were cut off its end",
            n, plainLines);
    }
    if (check.brokenLine == 0) {
        check.lines = n;
        check.lastHash = expected;
    }
    if (!trailKey && check.uncheckedSeals > 0) {
        check.keyProblem = key.state == TrailKeyState::kMissing
                               ? std::string("the station key is missing")
                               : key.problem;
    }
    return reading;
}

TrailCheck VerifyAuditTrail(std::string_view bytes, const TrailKeyFile& key) {
    return ReadAuditTrail(bytes, key).check;
}

std::optional<TrailCheck> CheckTrailFile(const std::filesystem::path& trailPath,
                                         std::string& problem) {
    const FileBytes file = ReadFileBytes(trailPath);
    if (file.result != kFileOk && file.result != kFileDoesNotExist) {
        problem = fmt::format("{} cannot be read: {}", trailPath.string(), file.reason);
        return std::nullopt;
    }
    return VerifyAuditTrail(file.bytes, ReadTrailKey(TrailKeyPath(trailPath)));
}

std::string TrailHeadText(const std::filesystem::path& trailPath, const TrailCheck& check) {
    if (check.brokenLine != 0) {
        return fmt::format("{}: BROKEN: {}", trailPath.filename().string(), check.reason);
    }
    return fmt::format("{}: {} line{}, last line SHA-256 {}", trailPath.filename().string(),
                       check.lines, check.lines == 1 ? "" : "s", check.lastHash);
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

std::string TrailHeadNow(const std::filesystem::path& trailPath) {
    std::string problem;
    const std::optional<TrailCheck> check = CheckTrailFile(trailPath, problem);
    return check ? TrailHeadText(trailPath, *check) : problem;
}

}  // namespace qrv::records
