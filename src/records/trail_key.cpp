#include "records/trail_key.h"

#include <fcntl.h>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fmt/format.h>

#include <cerrno>
#include <cstring>

#include "runtime/file_descriptor.h"
#include "runtime/text_file.h"

namespace qrv::records {

namespace {

constexpr std::string_view kNotice =
    "Quorvanel audit trail key: it seals the lines of QRVAudit.txt. Keep it private.";
constexpr std::string_view kKeyField = "key ";
constexpr std::string_view kPlainLinesField = "plain-lines ";

std::string Hex(const unsigned char* bytes, std::size_t size) {
    static constexpr std::string_view kHex = "0123456789abcdef";
    std::string text;
    text.reserve(2 * size);
    for (std::size_t i = 0; i < size; ++i) {
        text.push_back(kHex[bytes[i] >> 4]);
        text.push_back(kHex[bytes[i] & 0x0F]);
    }
    return text;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

std::optional<TrailKey> ParseKey(std::string_view bytes) {
    TrailKey key;
    bool haveKey = false;
    bool haveCount = false;
    LineReader reader(bytes);
    while (const auto line = reader.ReadLine(kNoSizeLimit)) {
        if (line->starts_with(kKeyField)) {
            const std::string_view hex = line->substr(kKeyField.size());
            if (hex.size() != 2 * key.bytes.size()) {
                return std::nullopt;
            }
            for (std::size_t i = 0; i < key.bytes.size(); ++i) {
                const int high = HexDigit(hex[2 * i]);
                const int low = HexDigit(hex[2 * i + 1]);
                if (high < 0 || low < 0) {
                    return std::nullopt;
                }
                key.bytes[i] = static_cast<unsigned char>(high * 16 + low);
            }
            haveKey = true;
        } else if (line->starts_with(kPlainLinesField)) {
            const std::string count(line->substr(kPlainLinesField.size()));
            char* end = nullptr;
            const long value = std::strtol(count.c_str(), &end, 10);
            if (count.empty() || *end != '\0' || value < 0 || value > 1'000'000'000) {
                return std::nullopt;
            }
            key.plainLines = static_cast<int>(value);
            haveCount = true;
        }
    }
    if (!haveKey || !haveCount) {
        return std::nullopt;
    }
    return key;
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return ::fsync(fd) == 0;
}

TrailKeyFile Unreadable(std::string problem) {
    return {TrailKeyState::kUnreadable, std::nullopt, std::move(problem)};
}

}  // namespace

std::filesystem::path TrailKeyPath(const std::filesystem::path& trailPath) {
    return trailPath.parent_path() / kTrailKeyFileName;
}

TrailKeyFile ReadTrailKey(const std::filesystem::path& keyPath) {
    const FileBytes file = ReadFileBytes(keyPath, 64 * 1024);
    if (file.result == kFileDoesNotExist) {
        return {};
    }
    if (file.result != kFileOk) {
        return Unreadable(fmt::format("{} cannot be read: {}", keyPath.string(), file.reason));
    }
    auto key = ParseKey(file.bytes);
    if (!key) {
        return Unreadable(fmt::format("{} is damaged: it holds no key", keyPath.string()));
    }
    return {TrailKeyState::kRead, key, {}};
}

TrailKeyFile CreateTrailKey(const std::filesystem::path& keyPath, int plainLines) {
    if (sodium_init() < 0) {
        return Unreadable("no source of random numbers for a new station key");
    }
    // The key belongs to the station's user, the directory's owner: a key
    // another account made would lock the station out of its own trail.
    const std::filesystem::path directory =
        keyPath.parent_path().empty() ? std::filesystem::path(".") : keyPath.parent_path();
    struct stat owner {};
    if (::stat(directory.c_str(), &owner) != 0) {
        return Unreadable(fmt::format("the station key {} cannot be made: {}", keyPath.string(),
                                      std::strerror(errno)));
    }
    const bool root = ::geteuid() == 0;
    if (!root && ::geteuid() != owner.st_uid) {
        return Unreadable(fmt::format(
            "the station key {} is made by the station directory's owner only", keyPath.string()));
    }
    TrailKey key;
    key.plainLines = plainLines;
    randombytes_buf(key.bytes.data(), key.bytes.size());
    const std::string text =
        fmt::format("{}{}{}{}{}{}{}", kNotice, kCrLf, kKeyField,
                    Hex(key.bytes.data(), key.bytes.size()), kCrLf, kPlainLinesField, plainLines) +
        std::string(kCrLf);
    // Written whole under another name first and linked into place, so the
    // key file is never seen half written and never replaces one that exists.
    const std::filesystem::path temporary =
        keyPath.parent_path() / fmt::format(".{}.{}", kTrailKeyFileName, ::getpid());
    int error = 0;
    errno = 0;
    {
        const FileDescriptor fd(
            ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
        if (fd.get() < 0 || ::fchmod(fd.get(), 0600) != 0 ||
            (root && ::fchown(fd.get(), owner.st_uid, owner.st_gid) != 0) ||
            !WriteAll(fd.get(), text)) {
            error = errno != 0 ? errno : EIO;
        }
    }
    const int linked = error == 0 ? ::link(temporary.c_str(), keyPath.c_str()) : -1;
    if (error == 0 && linked != 0 && errno != EEXIST) {
        error = errno;
    }
    ::unlink(temporary.c_str());
    if (error != 0) {
        return Unreadable(fmt::format("the station key {} cannot be made: {}", keyPath.string(),
                                      std::strerror(error)));
    }
    if (linked == 0) {
        const FileDescriptor synced(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (synced.get() >= 0) {
            ::fsync(synced.get());
        }
    }
    return ReadTrailKey(keyPath);
}

std::string KeyedSeal(const TrailKey& key, std::string_view bytes) {
    std::array<unsigned char, crypto_auth_hmacsha256_BYTES> mac{};
    static_assert(sizeof(TrailKey::bytes) == crypto_auth_hmacsha256_KEYBYTES);
    crypto_auth_hmacsha256(mac.data(), reinterpret_cast<const unsigned char*>(bytes.data()),
                           bytes.size(), key.bytes.data());
    return std::string(kKeyedSealPrefix) + Hex(mac.data(), mac.size());
}

}  // namespace qrv::records
