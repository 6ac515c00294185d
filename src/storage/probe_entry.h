#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "storage/result_file_format.h"

namespace qrv {

// Names are kept to this many characters by both period and day readers: a
// probe's record holds 27, and the store writes them whole, so a name is read
// back as it was given; only a line edited by hand is cut.
inline constexpr std::size_t kMaxStoredNameLength = 27;

// The probe name as last read from a file. The Windows-1252 bytes are kept to
// convert to UTF-8 only when they change, not once per line.
struct StoredName {
    std::string utf8;
    std::array<char, kMaxStoredNameLength> raw{};
    std::size_t rawLength = 0;

    void Clear();
    void Update(std::string_view cp1252);
};

// What a probe entry of a day and of a period have in common: which probe it
// is, and the extremes of its values.
struct ProbeEntry {
    StoredName ProbeName;
    KeyChars ProbeKey{};  // first character "0"
    int ProbeType = kTypeTemperature;
    std::string_view ProbeUnits;
    int LastIndex = -1;
    double MinValue = 0.0;
    double MaxValue = 0.0;

    void Clear();
};

// The entry holding key; the hint (the line's position in its block) is tried
// first. Claims the first unused entry for a new key and makes it the highest
// used one; -1 when all entries are taken.
template <typename Entry, std::size_t N>
int FindOrClaimProbeEntry(std::array<Entry, N>& entries, int hint, const KeyChars& key,
                          int& maxIndex) {
    if (hint >= 0 && static_cast<std::size_t>(hint) < N &&
        SameKey(entries[static_cast<std::size_t>(hint)].ProbeKey, key)) {
        return hint;
    }
    for (std::size_t i = 0; i < N; ++i) {
        Entry& entry = entries[i];
        if (entry.LastIndex >= 0 && SameKey(entry.ProbeKey, key)) {
            return static_cast<int>(i);
        }
        if (entry.LastIndex < 0) {
            entry.ProbeKey = key;
            entry.MinValue = 150.0;
            entry.MaxValue = -50.0;
            maxIndex = static_cast<int>(i);
            return static_cast<int>(i);
        }
    }
    return -1;
}

}  // namespace qrv
