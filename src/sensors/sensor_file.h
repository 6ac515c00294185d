#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

#include "runtime/clock.h"
#include "runtime/dialogs.h"
#include "runtime/event_log.h"
#include "sensors/sensor_table.h"
#include "sensors/shared_sensor_table.h"

namespace qrv {

inline constexpr std::string_view kSnsVersionLine = "QRVNL SNS FILE Vs 1.10";
// The longest line a sensor file may hold; longer ones mean a damaged file.
inline constexpr std::size_t kSnsLineLimit = 82;
// Records were loaded, but at least one index line did not match its position.
inline constexpr int kSensorFileIndexMismatch = 1000;
// The file ends inside a record or holds no record count.
inline constexpr int kSensorFileTruncated = -3000;

// Where a file cut short stops holding whole records.
struct SensorFileCut {
    int recordsRead = 0;
    // As the file's highest index announces them; 0 when that line is missing.
    int recordsInFile = 0;
    // The first byte of the first record not read whole (the file's end when
    // the cut lies between records).
    std::size_t damagedFromByte = 0;
    std::size_t fileBytes = 0;
};

// Loads QRVNL.SNS into the table and its network name. Returns 0, 1000 (index
// mismatch, not an error), kFileDoesNotExist, kFileCannotOpenForReading, or
// another negative value for a damaged header or a truncated file; on every
// negative result the table and network name are left as they were. Given
// cut, a truncated file is the exception: its network name and every record
// it holds whole are loaded (the slots beyond stay free) and cut says how
// far they reach.
int ReadSensorFile(const std::filesystem::path& snsFileName, SensorTable& table,
                   SensorFileCut* cut = nullptr);
// The same for the file's bytes already in memory.
int ReadSensorBytes(std::string_view bytes, SensorTable& table, SensorFileCut* cut = nullptr);
// The same for the shared table, while acquisition is paused: the file is
// read and parsed into a copy, which then replaces the table.
int ReadSensorFile(const std::filesystem::path& snsFileName, SharedSensorTable& table,
                   SensorFileCut* cut = nullptr);

// Rewrites QRVNL.SNS whole from the table. The old file is replaced only once
// the new one is completely written, and never when it is there but cannot be
// read (that is logged). Taal selects the language of the error popup.
// Returns 0 or kFileCannotOpenForWriting.
int WriteSensorFile(const std::filesystem::path& snsFileName, const SensorTable& table,
                    const Clock& clock, Dialogs& dialogs, EventLog& log, int taal);
// The bytes WriteSensorFile writes.
std::string FormatSensorFile(const SensorTable& table, const Clock& clock);

}  // namespace qrv
