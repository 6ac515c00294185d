#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/text_file.h"
#include "storage/probe_entry.h"
#include "storage/read_progress.h"
#include "storage/result_file_format.h"
#include "storage/status_messages.h"

namespace qrv {

struct ResultHeaderCheck;

inline constexpr int kMaxHistoryEntries = 100;
inline constexpr double kHistoryThreshold = -200.0;

// One probe of a day: every value at its minute, as many as the file holds
// (a clock set back stores more blocks than a day has minutes). The values
// at 0..LastIndex are the day's; the vectors keep their room from one day
// to the next.
struct HistoEntry : ProbeEntry {
    std::vector<std::int32_t> SampleTime;
    std::vector<double> SampleValue;

    // Stores a value after the last one and widens the extremes. Inline for
    // the room the vectors already have, which every day but the first uses.
    [[gnu::always_inline]] void AddValue(std::int32_t minute, double value) {
        const auto next = static_cast<std::size_t>(++LastIndex);
        if (next < SampleTime.size()) {
            SampleTime[next] = minute;
            SampleValue[next] = value;
        } else {
            Grow(minute, value);
        }
        MinValue = std::min(MinValue, value);
        MaxValue = std::max(MaxValue, value);
    }

  private:
    void Grow(std::int32_t minute, double value);
};

// One day's file as the history view and the day reports see it. Allocate it
// once and keep it: its entries keep the room of the longest day read.
struct HistoryData {
    std::array<HistoEntry, kMaxHistoryEntries> HistoSensor{};
    int HistoryMaxIndex = -1;
    int HistoryIndex = 0;
    int HistoryInitialized = 0;
    std::filesystem::path HistoryFileName;
    std::string HistoryDatum;      // YYYY-MM-DD
    std::string EuroHistoryDatum;  // DD/MM/YYYY
};

void ClearHistoSensorStructure(HistoryData& data);

// The entry holding key (its first character already "0"); the hint is the
// line's position in its block and is tried first. Claims the first unused
// entry for a new key; -1 when all entries are taken.
inline int SearchHistoSensorForNetAddress(HistoryData& data, int hint, const KeyChars& key) {
    return FindOrClaimProbeEntry(data.HistoSensor, hint, key, data.HistoryMaxIndex);
}

// Reads data.HistoryFileName into the cleared structure. Returns 0, or -1..-4
// when header line 1..4 did not match; the blocks are read either way.
// A file that cannot be read leaves the structure empty and returns
// kFileDoesNotExist or kFileCannotOpenForReading.
int ReadHistoryFromDisk(HistoryData& data, StatusMessages& status, HistoryProgress& progress);
// The same for a file already in memory; HistoryFileName names it in the
// progress messages and gives the date when the file has no date line.
int ReadHistoryFromBytes(std::string_view bytes, HistoryData& data, int taal,
                         HistoryProgress& progress);

// A day's file read line by line into HistoryData. An entry shows the name,
// units and type of its last kept line: they are taken once the file is
// read (Finish), not converted again for every value.
class HistoryLineReader {
  public:
    explicit HistoryLineReader(HistoryData& data) : data_(data) {}
    // One probe line of a block at the given minutes; values at or below
    // the history threshold are skipped. Inline, forced: it runs for every
    // value, and the compiler would rather call it.
    [[gnu::always_inline]] void Add(int position, int minutes, const ProbeLine& line) {
        if (line.value <= kHistoryThreshold) {
            return;
        }
        const KeyChars key = WithTemperatureType(line.key);
        // The entry of the line at this place in the block before comes
        // first: a probe that had no value in the first block shifts every
        // probe after it off its hint for the rest of the day. Any way of
        // finding the key's entry finds the same one.
        const auto place = static_cast<std::size_t>(position);
        int e = place < entryAt_.size() ? entryAt_[place] : -1;
        if (e < 0 || !SameKey(data_.HistoSensor[static_cast<std::size_t>(e)].ProbeKey, key)) {
            e = SearchHistoSensorForNetAddress(data_, position, key);
            if (e < 0) {
                keyLeftOut_ = true;
                return;
            }
            if (place < entryAt_.size()) {
                entryAt_[place] = e;
            }
        }
        const auto i = static_cast<std::size_t>(e);
        // In halves, as the parse stored them: copying the view whole would
        // stall on every value.
        lastNameData_[i] = line.name.data();
        lastNameSize_[i] = line.name.size();
        lastType_[i] = line.key[0];
        data_.HistoSensor[i].AddValue(minutes, line.value);
    }
    // The lines' views must still be valid.
    void Finish();

    // The name (in the file's bytes) and the type character of the entry's
    // last kept line.
    std::string_view LastName(int entry) const {
        const auto i = static_cast<std::size_t>(entry);
        return {lastNameData_[i], lastNameSize_[i]};
    }
    char LastType(int entry) const { return lastType_[static_cast<std::size_t>(entry)]; }
    // Whether a kept value's probe found no entry (more probes than entries).
    bool KeyLeftOut() const { return keyLeftOut_; }

  private:
    HistoryData& data_;
    std::array<const char*, kMaxHistoryEntries> lastNameData_{};
    std::array<std::size_t, kMaxHistoryEntries> lastNameSize_{};
    std::array<char, kMaxHistoryEntries> lastType_{};
    std::array<int, kMaxHistoryEntries> entryAt_ = [] {
        std::array<int, kMaxHistoryEntries> none{};
        none.fill(-1);
        return none;
    }();
    bool keyLeftOut_ = false;
};
// HistoryDatum and EuroHistoryDatum after a read, from the file's date line
// or else its name.
void SetHistoryDate(HistoryData& data, const ResultHeaderCheck& check);

// The value of the entry stored at exactly that minute, if one was (the
// no-reading marker of a probe that was off is such a value).
std::optional<double> ZoekInHistoSensor(const HistoryData& data, int entry, int minute);

// "DD/MM/YYYY" of a "YYYY-MM-DD" date.
std::string EuroDateOf(std::string_view fileDate);

}  // namespace qrv
