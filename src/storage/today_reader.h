#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

#include "runtime/clock.h"
#include "sensors/sensor_record.h"
#include "storage/status_messages.h"

namespace qrv {

// The reader collects at most this many values; the arrays leave room for the
// values the current-values graph appends after later stores.
inline constexpr int kMaxTodayValues = 1450;
inline constexpr int kTodayArraySize = 1540;
inline constexpr int kNoTodayValues = -100;

// Today's values of the probe shown in the current-values view.
struct TodayView {
    std::array<std::int32_t, kTodayArraySize> ViewTime{};
    std::array<double, kTodayArraySize> ViewTemp{};
    int ViewArrayMaxIndex = 0;
    double ViewMeasMin = 150.0;
    double ViewMeasMax = -50.0;
    std::string ViewProbeName = "?";  // UTF-8
    int ViewProbeType = 0;
    std::string ViewProbeUnits;
};

// Reads today's file from dataDirectory and collects the values of the probe
// whose record is given. Returns 0 when at least one value was found, else
// kNoTodayValues. Reading stops after the block in which the 1450th value
// was collected.
int ReadViewResultsFromDisk(const SensorRecord& record, const std::filesystem::path& dataDirectory,
                            const Clock& clock, StatusMessages& status, TodayView& view);
// The same for a day's file already in memory.
int CollectTodayValues(std::string_view bytes, const SensorRecord& record, TodayView& view);

}  // namespace qrv
