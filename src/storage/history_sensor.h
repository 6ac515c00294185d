#pragma once

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

    // Stores a value after the last one and widens the extremes.
    void AddValue(std::int32_t minute, double value);
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
int SearchHistoSensorForNetAddress(HistoryData& data, int hint, const KeyChars& key);

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
    // the history threshold are skipped.
    void Add(int position, int minutes, const ProbeLine& line);
    // The lines' views must still be valid.
    void Finish();

  private:
    HistoryData& data_;
    std::array<std::string_view, kMaxHistoryEntries> lastName_{};
    std::array<char, kMaxHistoryEntries> lastType_{};
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
