#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "storage/history_sensor.h"
#include "storage/read_progress.h"
#include "storage/result_file_format.h"

namespace qrv {

inline constexpr int kMaxMonthEntries = 100;
// A month in hourly slots needs 744 entries, a week in quarter hours 672.
inline constexpr int kMaxSlotEntries = 745;
inline constexpr int kSlotArraySize = 750;
inline constexpr double kPeriodThreshold = -300.0;
// PrintFile elements 1..31 are used; element 0 never.
inline constexpr int kPrintFileCount = 32;
inline constexpr std::string_view kNoPrintFile = "leeg";

// One probe of a period, condensed into hourly or quarter-hourly slots.
struct MonthEntry : ProbeEntry {
    std::array<std::int32_t, kSlotArraySize> SlotNumber{};
    std::array<double, kSlotArraySize> SlotMax{};
    std::array<double, kSlotArraySize> SlotMin{};
};

// A report period: the probes found in its files and the files themselves.
// Large (about 1.5 MB): allocate it once and keep it.
struct PeriodData {
    std::array<MonthEntry, kMaxMonthEntries> MonthSensor{};
    int MonthMaxIndex = -1;
    // The highlighted probe of the report panel's list (a MonthSensor entry).
    int ListSelection = 0;
    std::filesystem::path WantedMonthFile;
    std::array<std::string, kPrintFileCount> PrintFile{};
    std::string ReportMessage;
    // Reused for every file read, so a period needs no allocation per file.
    std::string readBuffer;
};

void ClearSensorStructure(PeriodData& data);

// As SearchHistoSensorForNetAddress, for the period's entries.
int SearchMonthSensorForNetAddress(PeriodData& data, int hint, const KeyChars& key);

// The slot of a block's minutes in the period: the file position (day of
// the month, or weekday for a week) gives the day, hourly mode 24 slots a
// day, quarter-hour mode 96.
class PeriodSlots {
  public:
    PeriodSlots(int position, bool hourly);
    // Divisions by constants: a division by a variable per value would be
    // the slowest step of a month's slots.
    int Of(int minutes) const { return base_ + (hourly_ ? minutes / 60 : minutes / 15); }

  private:
    int base_;
    bool hourly_;
};

// Adds data.WantedMonthFile at the given file position (day of the month, or
// weekday for a week) in hourly (24 slots a day) or quarter-hour (96 slots a
// day) mode. Returns 0, -1..-4 for a header mismatch (the blocks are read
// anyway), or the file code when the file cannot be read.
int ReadDayOfMonthFromDisk(PeriodData& data, int position, bool hourly, ReportProgress& progress);
// The same for a file already in memory.
int ReadDayOfMonthFromBytes(std::string_view bytes, PeriodData& data, int position, bool hourly,
                            ReportProgress& progress);

// Reads every PrintFile element 1..31 that names a file. Returns the number
// of files read, 0 when the user aborted.
int GetAllDataFromDisk(PeriodData& data, bool hourly, int taal, ReportProgress& progress);

}  // namespace qrv
