#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace qrv::records {

// The station key that seals the audit trail's lines: a file beside the
// trail, readable and writable by the station's user alone. Anyone who can
// write the trail could recompute plain SHA-256 seals; keyed seals need this
// file as well.
inline constexpr std::string_view kTrailKeyFileName = "QRVAudit.key";

// A keyed seal as the trail's last field shows it: the prefix, then the
// HMAC-SHA-256 of the line before it in 64 lower-case hexadecimal digits.
// A plain seal has no prefix, so a line tells by itself which it carries.
inline constexpr std::string_view kKeyedSealPrefix = "hmac-sha256:";

struct TrailKey {
    std::array<unsigned char, 32> bytes{};
    // The lines the trail held, sealed without a key, when the key was made:
    // every later line must carry a keyed seal.
    int plainLines = 0;
};

enum class TrailKeyState { kMissing, kRead, kUnreadable };

struct TrailKeyFile {
    TrailKeyState state = TrailKeyState::kMissing;
    std::optional<TrailKey> key;  // when read
    std::string problem;          // why it could not be read
};

// The key file of the trail at trailPath.
std::filesystem::path TrailKeyPath(const std::filesystem::path& trailPath);

TrailKeyFile ReadTrailKey(const std::filesystem::path& keyPath);

// Makes a new key for a trail of plainLines lines, mode 0600. When another
// writer has just made one, that key is read instead; the caller holds the
// trail's lock, so it is never half written.
TrailKeyFile CreateTrailKey(const std::filesystem::path& keyPath, int plainLines);

// kKeyedSealPrefix and the HMAC-SHA-256 of bytes under the key.
std::string KeyedSeal(const TrailKey& key, std::string_view bytes);

}  // namespace qrv::records
