#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "runtime/clock.h"
#include "sensors/sensor_record.h"
#include "storage/status_messages.h"

namespace qrv {

inline constexpr int kNoTodayValues = -100;

// Today's values of the probe shown in the current-values view.
// Every value of the day's file is held, also past a day's minutes (a clock
// set back); the graph appends its later values with SetValue.
struct TodayView {
    std::vector<std::int32_t> ViewTime;
    std::vector<double> ViewTemp;
    int ViewArrayMaxIndex = 0;
    double ViewMeasMin = 150.0;
    double ViewMeasMax = -50.0;
    std::string ViewProbeName = "?";  // UTF-8
    int ViewProbeType = 0;
    std::string ViewProbeUnits;

    // The value at index, room made when the index is past the end.
    void SetValue(std::size_t index, std::int32_t minute, double value);
};

// Reads today's file from dataDirectory and collects the values of the probe
// whose record is given. Returns 0 when at least one value was found, else
// kNoTodayValues.
int ReadViewResultsFromDisk(const SensorRecord& record, const std::filesystem::path& dataDirectory,
                            const Clock& clock, StatusMessages& status, TodayView& view);
// The same for a day's file already in memory.
int CollectTodayValues(std::string_view bytes, const SensorRecord& record, TodayView& view);

}  // namespace qrv
